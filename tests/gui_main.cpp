// The main of the GUI tests.
#include "gui_tests.h"

int main(int argc, char **argv)
{
    return RunGuiTests(argc, argv);
}
