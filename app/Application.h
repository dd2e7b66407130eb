#pragma once
// The application object: hands every file-open event to one registered
// receiver (the main window), which opens the named file.

#include <QHash>
#include <QString>

#include "CappApplicationBase.h"

class Application : public FusionStyle::CappApplicationBase {
 public:
  Application(int& argc, char** argv);
  ~Application() override;

  // The version strings and notice of the bundle's property list
  // ("<executable folder>/../Info.plist"), read afresh on construction.
  class VersionInformation {
   public:
    VersionInformation();
    // Reads a property list from `path` instead of the bundle's.
    explicit VersionInformation(const QString& path);
    virtual ~VersionInformation();

    QString productName() const;
    QString shortVersion();
    QString copyright();
    QString bundleName();
    QString bundleVersion();

   private:
    void read(const QString& path);
    QString lookup(const QString& key);

    QHash<QString, QString> table;
  };

  // The object that receives file-open events; null drops them.
  QObject* fileOpenReceiver = nullptr;

 protected:
  bool event(QEvent* event) override;
  // Marks the event not accepted and, when a receiver is registered, sends
  // it (no longer spontaneous) to the receiver.
  virtual void deliverFileOpenEvent(QEvent* event);
};
