#pragma once

#include "bitmap/work_image.h"

// What is wrong with a bitmap the tool cannot use: one line of text after a line feed.
const char* fault_message(bitmap_fault fault);
