#pragma once

// Makes the process safe to run from any shell or script, before anything is opened:
// - descriptors 0, 1 and 2 are open (on /dev/null where they were closed), so that no
//   file the tool opens becomes standard output and receives console text;
// - standard output is unbuffered, so each text is out when printed and never lands,
//   at exit, in an output file that is also standard output;
// - SIGPIPE and SIGXFSZ are ignored: a closed console or a file-size limit make a write
//   fail with a status, instead of killing the run.
void prepare_process();
