// How the programs set up their process before anything else: what the standard streams carry
// and which signal may not end them.
#pragma once

namespace calvento {

// A reader of the program's output that went away (`... | head`) must not end it in the middle
// of a board write: SIGPIPE is ignored and the failed write is an error of its own. Nothing to do
// on Windows, which has no such signal.
void IgnoreBrokenPipe();

// Standard input and output carry bytes as they are: on Windows the C library's text mode would
// put a CR before every LF byte of a sample, an image or a configuration file (and drop them on
// input). Nothing to do elsewhere.
void UseBinaryStandardStreams();

}  // namespace calvento
