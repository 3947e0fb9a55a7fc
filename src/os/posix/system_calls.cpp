#include "os/system_calls.h"

#include <sys/file.h>
#include <unistd.h>

system_calls io_system = {::read, ::writev, ::flock, ::close};
