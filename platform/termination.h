#pragma once
// A desktop session that ends, or Ctrl+C in a terminal, asks the program to end
// (SIGTERM, SIGINT). The first such signal is handed to the window as a close
// request, so shut-down runs as after a click on the close box; a second one
// ends the program at once.
#include <QObject>

class TerminationRequests : public QObject {
    Q_OBJECT
public:
    explicit TerminationRequests(QObject *parent = nullptr);
    ~TerminationRequests() override;

signals:
    void Requested();
};
