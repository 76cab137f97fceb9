#pragma once
// Windows: the status of run_command is the program's exit code.
#define WIFEXITED(status) ((status) != -1)
#define WEXITSTATUS(status) ((status) & 0xFF)
