// The read job: what READ in the window and `calvento-cli read` both do, once.
//
// It runs the link's read exchange (identification, the read command, the full data wait) and
// answers with the outcome and, when the board's data reply came whole, the configuration it
// holds, as a value. The link shows its own progress in the caller's status view while it runs,
// and decodes the reply into that view as it completes (the window's fields fill then, as they
// always did); the caller needs no text of the view to know how the run ended. Like the program
// job it runs to its end in the caller's thread, the link's waits turning the event loop.
#pragma once

#include <optional>

#include "config/decoder_config.h"
#include "link/board_link.h"

namespace calvento {

struct ReadResult {
    BoardLink::Outcome outcome = BoardLink::Outcome::Done;
    std::optional<DecoderConfig> config;  // the board's configuration when Done
    bool done() const { return outcome == BoardLink::Outcome::Done && config.has_value(); }
};

ReadResult RunReadJob(BoardLink& link);

}  // namespace calvento
