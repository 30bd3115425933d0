#include "app/Program.h"
#include "app/cli/Cli.h"

int main(int argc, char** argv) {
    if (cli::isCommand(argc, argv))
        return cli::run(argc, argv);
    return runProgram(argc, argv);
}
