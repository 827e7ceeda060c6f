#include "app/web_site.h"

#include "app/paths.h"

#ifndef TEGAMIYA_HOME_PAGE
#define TEGAMIYA_HOME_PAGE ""
#endif

std::string WebSiteAddress()
{
    std::string url = TEGAMIYA_HOME_PAGE;
    if (!url.empty())
        return url;
    return paths::ExecutableDir() + "Tegamiya.html";
}
