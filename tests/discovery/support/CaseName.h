#pragma once

#include <string>

// Names each row of a parameterised test after its name field.
struct CaseName {
    template <typename Row> std::string operator()(const Row& row) const { return row.param.name; }
};
