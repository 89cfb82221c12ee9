#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace calvex {

// One copy of the program per user session. The first copy holds a lock file and listens on a
// local socket beside it; a second copy, refused, knocks there so that the first one brings its
// window to the front before the second one says why it does not start.
class SingleCopy final : public QObject {
    Q_OBJECT

  public:
    // folder: where the lock and the socket are kept (the user's runtime folder).
    explicit SingleCopy(const QString& folder, QObject* parent = nullptr);
    ~SingleCopy() override;

    // True when this is the first copy: it holds the lock from now on and hears the knocks.
    bool acquire();
    // A second copy asks the first one to come to the front; true when it heard.
    bool knock(int waitMs = 1000) const;

    QString lockPath() const;
    QString socketPath() const;

  signals:
    // Another copy was started and refused.
    void knocked();

  private:
    QString folder_;
    QLockFile lock_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace calvex
