// SPDX-License-Identifier: GPL-3.0-or-later
// What an administrator chose, as Qt reads it from a settings file or from
// the registry: the record folder, and whether the teacher's register is
// kept, and whether the class folder is guarded.
#include "recordfolder.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include <string>

namespace cifrelle::app {

std::optional<records::RecordFolder> chosenRecordFolder(const QSettings& settings,
                                                        const std::string& setting)
{
    const QVariant value = settings.value(QStringLiteral("record/folder"));
    if (!value.isValid() && !settings.contains(QStringLiteral("record/folder")))
        return std::nullopt;
    // Unquoted commas make a list of Qt's settings files.
    if (value.typeId() != QMetaType::QString) {
        return records::RecordFolder{{},
                                     setting + " non contiene un solo percorso (un percorso con "
                                               "una virgola va scritto tra virgolette)",
                                     setting};
    }
    return records::RecordFolder{settingPath(value.toString()), {}, setting};
}

bool registerKept(const QSettings& settings)
{
    const QVariant value = settings.value(QStringLiteral("record/register"));
    return value.typeId() == QMetaType::QString && value.toString() == QStringLiteral("true");
}

bool folderGuarded(const QSettings& settings)
{
    const QVariant value = settings.value(QStringLiteral("record/guarded"));
    return value.typeId() == QMetaType::QString && value.toString() == QStringLiteral("true");
}

} // namespace cifrelle::app
