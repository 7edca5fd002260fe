#include "app/fPreparingInstallWnd.h"

#include "app/strings.h"

namespace ssi {

int centredPosition(int screenSize, int windowSize) {
    // C++ integer division truncates toward zero, as the placement requires
    // for windows larger than the screen: (1024 - 1030) / 2 == -3.
    return (screenSize - windowSize) / 2;
}

TpreparingInstallWnd::TpreparingInstallWnd(Os& os) : Form("preparingInstallWnd"), os_(os) {
    clientWidth = 244;
    clientHeight = 84;
    border = BorderStyle::Single;
    systemMenuOnly = true;
    setBounds(kOffScreen, kOffScreen, clientWidth, clientHeight);
    Label1.centred = true;
    Label1.buttonFaceBackground = true;
    Label1.setBounds(0, 0, clientWidth, clientHeight);
    add(Label1);
}

void TpreparingInstallWnd::FormCreate() { setMessage(os_.loadString(kStrPreparingInstallation)); }

void TpreparingInstallWnd::setMessage(const std::string& text) {
    Label1.setText(text);
    os_.processMessages();
}

void TpreparingInstallWnd::moveOffScreen() { setPosition(kOffScreen, kOffScreen); }

void TpreparingInstallWnd::centreOnScreen() {
    setPosition(centredPosition(os_.screenWidth(), width()), centredPosition(os_.screenHeight(), height()));
    os_.processMessages();
}

}  // namespace ssi
