#include "shell/life_app.h"

#include "document/life_doc.h"
#include "document/life_view.h"
#include "shell/main_frame.h"
#include "shell/resource.h"
#include "shell/resources.h"

namespace cellarium {

CLifeApp::CLifeApp(PlatformServices& services, std::vector<std::string> commandLine)
    : CLifeAppBase(services, "Life"), m_commandLine(std::move(commandLine)) {}

bool CLifeApp::InitInstance() {
    SetResources(&LifeResources());
    SetRegistryKey(kCompanyKey);
    auto tmpl = std::make_unique<CSingleDocTemplate>(
        kLifeDocString, [] { return std::make_unique<CLifeDoc>(); },
        [] { return std::make_unique<CMainFrame>(); },
        [] { return std::make_unique<CLifeView>(); });
    tmpl->SetFileList(kLifeFileListFilter, kLifeFileListFolder);
    AddDocTemplate(std::move(tmpl));

    CCommandLineInfo info;
    info.m_nShellCommand = CCommandLineInfo::FileNothing;
    ParseCommandLine(m_commandLine, info);
    if (!ProcessShellCommand(info)) OnFileNew();
    return true;
}

}  // namespace cellarium
