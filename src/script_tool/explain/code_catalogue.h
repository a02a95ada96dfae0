#pragma once
// Every code devidudi-script reports, lint's and the other subcommands', in
// the order of the rules page: what `rules` lists and `explain` accepts.

#include <string_view>
#include <vector>

#include "script_tool/findings/severity.h"

struct CatalogueEntry {
  std::string_view Code;
  std::string_view Tool;  // the subcommand that reports it
  Severity Level;
  std::string_view Title;  // the one-line summary, its section's heading
};

// lint's rules by code, then make's, verify's and preflight's codes.
std::vector<CatalogueEntry> CodeCatalogue();
