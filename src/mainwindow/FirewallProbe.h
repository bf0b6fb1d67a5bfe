#pragma once

#include "discovery/Diagnosis.h"

// The firewall this computer shows without root: ufw by its configuration file, firewalld by
// its process-id file, else firewalld by its name on the system bus (asked with a short wait).
// Unknown when none of them tells.
LocalFirewall FirewallOnThisComputer();
