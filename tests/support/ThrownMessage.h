#pragma once
// What a refusal says: the text of the exception a call throws.

#include <exception>
#include <functional>
#include <string>

// The `what()` of the std::exception that `call` throws; empty when it
// throws none.
inline std::string thrownMessage(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}
