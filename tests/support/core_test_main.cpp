#include <QCoreApplication>
#include <gtest/gtest.h>

// Tests of the GUI-free core: an event loop for the network, no window.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillmark"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
