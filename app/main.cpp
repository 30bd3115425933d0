#include "app/cli/Cli.h"
#include "ui/Program.h"

int main(int argc, char** argv) {
    if (cli::isCommand(argc, argv))
        return cli::run(argc, argv);
    return runProgram(argc, argv);
}
