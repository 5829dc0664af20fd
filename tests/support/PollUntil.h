#pragma once

#include <functional>

// Checks condition every stepMs of real time until it holds; false when
// timeoutMs passed first.
bool PollUntil(const std::function<bool()>& condition, int timeoutMs = 2000, int stepMs = 2);
