// The component base: an owner, a name and published properties; owned by its window through Qt.
#pragma once

#include <QObject>
#include <string>

// Components are QObjects so that a window owns them as Qt children and frees them with itself.
// A component without an owner is owned by whoever created it (a std::unique_ptr).
class TComponent : public QObject {
public:
  explicit TComponent(QObject *AOwner = nullptr) : QObject(AOwner) {}
  ~TComponent() override = default;

  QObject *Owner() const { return parent(); }
  std::string Name() const { return objectName().toStdString(); }
  void SetName(const std::string &AName) { setObjectName(QString::fromLatin1(AName.c_str())); }
};
