// The small window shown while the installer unpacks itself.
#pragma once

#include <string>

#include "platform/controls.h"
#include "platform/os.h"

namespace ssi {

constexpr int kOffScreen = -3000;

// Centring: left = trunc((screen - window) / 2), truncated toward zero.
int centredPosition(int screenSize, int windowSize);

class TpreparingInstallWnd : public Form {
public:
    explicit TpreparingInstallWnd(Os& os);

    Label Label1{"Label1"};

    void FormCreate();
    void setMessage(const std::string& text);
    void moveOffScreen();
    void centreOnScreen();

private:
    Os& os_;
};

}  // namespace ssi
