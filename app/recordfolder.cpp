// SPDX-License-Identifier: GPL-3.0-or-later
// The folder an administrator chose, as Qt reads it from a settings file
// or from the registry.
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

} // namespace cifrelle::app
