// The single instance of the host's record, with the starting values its declaration gives.
#include "host/host_state.h"

HostState gHostState;
