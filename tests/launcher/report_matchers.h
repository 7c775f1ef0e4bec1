// Splits the text of the standard report into its parts, so tests can check
// class, module and message without caring about the code address.
#pragma once

#include <string>

namespace testing_launcher {

struct Report {
  bool well_formed = false;
  std::string class_name, module, address, message;
};

// "Exception %s im Modul %s bei %p." LF "%s%s"; the address in upper-case hex.
inline Report ParseReport(const std::string& text) {
  Report r;
  const std::string head = "Exception ";
  const std::size_t line_end = text.find('\n');
  if (text.rfind(head, 0) != 0 || line_end == std::string::npos) return r;
  const std::string first = text.substr(0, line_end);
  const std::size_t module_at = first.find(" im Modul ");
  const std::size_t address_at = first.rfind(" bei ");
  if (module_at == std::string::npos || address_at == std::string::npos ||
      address_at < module_at || first.back() != '.')
    return r;
  r.class_name = first.substr(head.size(), module_at - head.size());
  r.module = first.substr(module_at + 10, address_at - module_at - 10);
  r.address = first.substr(address_at + 5, first.size() - address_at - 6);
  if (r.class_name.empty() || r.class_name.find(' ') != std::string::npos || r.module.empty() ||
      r.address.empty() || r.address.find_first_not_of("0123456789ABCDEF") != std::string::npos)
    return r;
  r.message = text.substr(line_end + 1);
  r.well_formed = true;
  return r;
}

}  // namespace testing_launcher
