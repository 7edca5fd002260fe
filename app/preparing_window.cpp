#include "app/preparing_window.h"

#include "core/strings.h"

namespace ssi {

int centredPosition(int screenSize, int windowSize) {
    // C++ integer division truncates toward zero, as the placement requires
    // for windows larger than the screen: (1024 - 1030) / 2 == -3.
    return (screenSize - windowSize) / 2;
}

TpreparingInstallWnd::TpreparingInstallWnd(Os& os) : Form("preparingInstallWnd"), os_(os) {
    setClientSize(244, 84);
    setBorder(BorderStyle::Single);
    setSystemMenuOnly(true);
    setPosition(kOffScreen, kOffScreen);
    Label1.centred = true;
    Label1.setColor(color::kBtnFace);
    Label1.setBounds(0, 0, 244, 84);
    add(Label1);
}

void TpreparingInstallWnd::FormCreate() { setMessage(os_.system().loadString(kStrPreparingInstallation)); }

void TpreparingInstallWnd::setMessage(const std::string& text) {
    Label1.setText(text);
    os_.ui().processMessages();
}

void TpreparingInstallWnd::moveOffScreen() { setPosition(kOffScreen, kOffScreen); }

void TpreparingInstallWnd::centreOnScreen() {
    setPosition(centredPosition(os_.ui().screenWidth(), width()), centredPosition(os_.ui().screenHeight(), height()));
    os_.ui().processMessages();
}

}  // namespace ssi
