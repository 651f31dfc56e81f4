#include "foundation/os/console.h"

#include <iostream>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace Console {

void SwitchToBinaryMode()
{
    termios attributes = {};
    if (tcgetattr(STDIN_FILENO, &attributes) != 0)
        std::cerr << "can't obtain terminal attributes" << std::endl;
    attributes.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOPRT | ECHOCTL);
    attributes.c_lflag |= ISIG;
    if (tcsetattr(STDIN_FILENO, TCSADRAIN, &attributes) != 0)
        std::cerr << "can't set terminal attributes" << std::endl;
}

void SwitchToNonBlockMode()
{
    int on = 1;
    if (ioctl(STDIN_FILENO, FIONBIO, &on) != 0)
        std::cerr << "can't switch terminal to blocked mode" << std::endl;
}

}  // namespace Console
