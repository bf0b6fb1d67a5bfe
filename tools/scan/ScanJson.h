#pragma once

#include "Diagnosis.h"
#include "ScanOutput.h"

#include <string>
#include <vector>

// The whole run as one JSON document: the devices, with --all every description read, each
// local address and the advice. Text is valid UTF-8; controls are escaped.
std::string ScanJson(const std::vector<ScanRow>& devices, const std::vector<ScanRow>* described,
                     const std::vector<AddressReport>& addresses, const Diagnosis& diagnosis);
