// The address of the program's web page: the project's home page given at
// build time (TEGAMIYA_HOME_PAGE), or, when none was given, the help page
// beside the program.
#pragma once

#include <string>

std::string WebSiteAddress();
