#pragma once

#include "discovery/Diagnosis.h"

// The firewall this computer shows without root: ufw by its configuration file, else
// firewalld by its name on the system bus (asked with a short wait). Unknown when neither.
LocalFirewall FirewallOnThisComputer();
