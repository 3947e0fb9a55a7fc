#pragma once
// A command's body. The platform's entry point calls it with the arguments as the user
// typed them, in UTF-8, and returns its status.

int command_main(int argc, char** argv);
