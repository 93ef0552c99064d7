// Runs the demo replay site on its own, so it can be browsed or used by hand:
//   quillmark-demo-site --port 8080   (melee 8080, DotA 8081, files 8082)
#include "demo/demosite.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Quillmark demo replay site on 127.0.0.1"));
    cli.addHelpOption();
    QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("First of three ports (melee, DotA, files)."),
                                  QStringLiteral("N"), QStringLiteral("0"));
    cli.addOption(portOption);
    cli.process(app);
    bool ok = false;
    const uint port = cli.value(portOption).toUInt(&ok);
    if (!ok || port > 65533) {
        std::fprintf(stderr, "invalid port\n");
        return 2;
    }
    DemoSite site{quint16(port)};
    if (!site.ok()) {
        std::fprintf(stderr, "could not listen on 127.0.0.1:%u..%u\n", port, port + 2);
        return 1;
    }
    const SiteRoots roots = site.roots();
    std::printf("QUILLMARK_MELEE_ROOT=%s\nQUILLMARK_DOTA_ROOT=%s\nQUILLMARK_DOTA_MAP_ROOT=%s\nQUILLMARK_FEED_URL=%s\n",
                qPrintable(roots.melee), qPrintable(roots.dota), qPrintable(roots.dotaMap), qPrintable(roots.feed));
    std::fflush(stdout);
    return app.exec();
}
