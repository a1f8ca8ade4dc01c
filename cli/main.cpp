// orvalis-export: the program's text export, from the command line.

#include "cli/ExportCommand.h"

int main(int argc, char** argv)
{
    return RunExportCommand(std::vector<std::string>(argv + 1, argv + argc));
}
