#pragma once
// What was said on standard error since testing::internal::CaptureStderr(), once
// the program's lines (which a thread of their own writes) have all gone out.
#include <string>

std::string CapturedStderr();
