// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include "cifrelle/classsummary/calendar.h"

namespace cifrelle::app {

const char* registroUsage()
{
    return "Uso: cifrelle-registro [--dal AAAA-MM-GG] [--al AAAA-MM-GG] [--pdf FILE] [--csv FILE] "
           "[REGISTRO.csv ...]\n"
           "Mostra il registro della classe: senza file quello di questo computer, con più file "
           "tutti insieme come una sola classe.\n"
           "Con --pdf e/o --csv scrive quei file e termina senza aprire la finestra.\n";
}

RegistroOptions readOptions(const std::vector<std::string>& arguments)
{
    RegistroOptions options;
    bool optionsEnd = false;
    for (std::size_t i = 0; i < arguments.size() && options.problem.empty(); ++i) {
        const std::string& a = arguments[i];
        if (optionsEnd || a.empty() || a[0] != '-' || a == "-") {
            options.files.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnd = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            options.help = true;
            continue;
        }
        const std::size_t equals = a.find('=');
        const std::string name = a.substr(0, equals);
        if (name != "--dal" && name != "--al" && name != "--pdf" && name != "--csv") {
            options.problem = "opzione sconosciuta: " + a;
            break;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = a.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            options.problem = "manca il valore di " + name;
            break;
        }
        if (name == "--pdf" || name == "--csv") {
            if (value.empty())
                options.problem = "manca il nome del file di " + name;
            (name == "--pdf" ? options.pdf : options.csv) = value;
            continue;
        }
        const auto day = classsummary::readDate(value);
        if (!day)
            options.problem = name + " vuole una data AAAA-MM-GG, non «" + value + "»";
        (name == "--dal" ? options.first : options.last) = day;
    }
    if (options.problem.empty() && options.first && options.last && *options.first > *options.last)
        options.problem = "la data di --dal viene dopo quella di --al";
    return options;
}

} // namespace cifrelle::app
