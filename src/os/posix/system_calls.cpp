#include "os/system_calls.h"

#include <sys/file.h>
#include <unistd.h>

#include "os/files.h"

const system_calls& native_calls() {
  static const system_calls calls = {::read, ::writev, ::flock, ::close};
  return calls;
}
