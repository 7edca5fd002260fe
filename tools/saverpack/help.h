// Each verb's own help: "saverpack VERB --help", "saverpack help VERB" and
// "saverpack ssd VERB --help" print it with exit status 0.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ssi::tool {

// The help of one topic: a verb ("build"), "ssd" or "swf", or one of their
// verbs ("ssd list", "swf info"); "" when there is no such topic.
std::string verbHelp(const std::string& topic);
// Every topic verbHelp answers.
std::vector<std::string> helpTopics();

// When `words` (the command line after the program name) ask for help, prints
// it to out (or, for an unknown topic, an error to err), sets `exitCode` and
// returns true. Help is asked by "help [TOPIC...]", or by --help or -h after
// a verb ("build --help", "ssd list -h"); an option's value is never taken
// for a request.
[[nodiscard]] bool answerHelp(const std::vector<std::string>& words, std::ostream& out, std::ostream& err,
                              int& exitCode);

// "saverpack ssd: TEXT" and the hint to that verb's help; returns kExitUsage.
[[nodiscard]] int ssdUsageError(std::ostream& err, const std::string& verb, const std::string& text);

}  // namespace ssi::tool
