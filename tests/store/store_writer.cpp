// store_writer FILE NAME ROUNDS: writes the seven run options and a key of its own,
// ROUNDS times, into FILE as a closing copy of the program does.
#include "kaprin/store/qsettings_store.h"

#include <QCoreApplication>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    QCoreApplication app(argc, argv);
    const std::string name = argv[2];
    const int rounds = std::atoi(argv[3]);
    for (int round = 0; round < rounds; ++round) {
        kaprin::QSettingsStore store(QString::fromLocal8Bit(argv[1]));
        const std::string value = round % 2 ? "True" : "False";
        for (const char* key : {"EMODE", "DTR", "RTS", "CONVERT", "QUENLAR", "START", "SHUTDOWN"})
            store.WriteSetting("Setup", key, value);
        store.WriteSetting("Writers", name + "_" + std::to_string(round), "done");
    }
    return 0;
}
