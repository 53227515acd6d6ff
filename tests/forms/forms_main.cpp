// The main of the form tests: every test starts a whole program of its own.
#include "../gui_tests.h"

int main(int argc, char **argv)
{
    return RunGuiTests(argc, argv, TestScreen::EachProgram);
}
