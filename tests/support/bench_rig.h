#pragma once
// The core as the window and the command line wire it, without either: a Workbench over a given
// serial port, with scripted dialogs, a model chosen, the port's device set and the buffer holding
// an image.

#include "device/workbench.h"
#include "support/scripted_dialogs.h"

#include <QByteArray>
#include <QString>

struct BenchRig {
    BenchRig(SerialPort* port, const QString& model, const QString& device) : bench(port, &dialogs)
    {
        bench.select_model(model);
        bench.link.set_port_device(device);
    }
    // `bytes` at `start` as the used range of a loaded file.
    void set_image(const QByteArray& bytes, int start = 0)
    {
        for (int i = 0; i < bytes.size(); ++i)
            bench.image.program_buffer[size_t(start + i)] = quint8(bytes.at(i));
        bench.image.image_start = start;
        bench.image.image_end = start + int(bytes.size()) - 1;
        bench.image.file_loaded = true;
    }

    ScriptedDialogs dialogs;
    Workbench bench;
};
