#include "app/startup.h"

SiteRoots StartSites(const QString &iniPath, std::unique_ptr<DemoSite> &demo)
{
    SiteRoots roots = ConfiguredSiteRoots(iniPath);
    if (roots.complete())
        return roots;
    demo = std::make_unique<DemoSite>();
    if (demo->ok())
        return MergeSiteRoots(roots, demo->roots());
    qWarning("the demo site could not be started");
    demo.reset();
    return roots;
}
