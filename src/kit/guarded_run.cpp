#include "kit/guarded_run.h"

#include <new>

#include "kit/refusal_words.h"

std::string reason_of(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
    return refusal_text(refusal::out_of_memory, {}, 0);
  return error.what();
}
