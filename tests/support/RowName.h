#pragma once

#include <gtest/gtest.h>

#include <string>

// Names each row of a parameterised suite after its name field, so that the
// list of tests says what each row checks.
struct RowName {
  template <class Row>
  std::string operator()(const testing::TestParamInfo<Row>& info) const {
    return info.param.name;
  }
};
