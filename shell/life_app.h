// The application: registers the settings location and the document
// template, and opens a file named on the command line.
#pragma once

#include <string>
#include <vector>

#include "document/life_app_base.h"

namespace cellarium {

class CLifeApp : public CLifeAppBase {
public:
    explicit CLifeApp(PlatformServices& services, std::vector<std::string> commandLine = {});

    bool InitInstance() override;

    std::vector<std::string> m_commandLine;
};

}  // namespace cellarium
