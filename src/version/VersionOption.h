#pragma once

// Answers "--version": when it is among the arguments, prints "<program> <version>" on
// standard output and returns true, so that the caller ends before building anything else.
bool PrintVersionIfAsked(int argc, const char* const* argv, const char* program);
