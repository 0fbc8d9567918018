// The read job. See read_job.h.
#include "session/read_job.h"

namespace calvento {

ReadResult RunReadJob(BoardLink& link) {
    ReadResult r;
    r.outcome = link.read();
    if (r.outcome == BoardLink::Outcome::Done) r.config = DecodeConfig(link.receiveImage());
    return r;
}

}  // namespace calvento
