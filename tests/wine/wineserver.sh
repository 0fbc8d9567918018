#!/bin/sh
# The Wine server of the tests' prefix, as Wine's programs start it (they run $WINESERVER when
# none is running): persistent until run.sh --stop ends it, and with its output in a log, not in
# the output of whichever test happened to start it (it prints its whole object table there when
# it ends, and a test's output stays open as long as it runs).
exec "$CALVENTO_REAL_WINESERVER" -p "$@" </dev/null >>"$CALVENTO_WINESERVER_LOG" 2>&1
