#pragma once
// The program-image part of the tool as the CLI's file commands use it: a model, a fresh buffer
// as at start-up, the loaders, the viewer's dump and the store.

#include "image/buffer_store.h"
#include "image/file_loader.h"
#include "image/program_image.h"
#include "image/serial_number.h"
#include "models/model_catalogue.h"

class UserDialogs;

class ImageSession {
public:
    explicit ImageSession(UserDialogs* dialogs);

    // Selects the model, the buffer start text and the fill byte ("FF" or "00"), clears the buffer
    // as the window's start does and fills the range boxes. False (with a reason) for a bad option.
    bool setup(const QString& model_name, const QString& start_text, const QString& fill, QString* error);
    // Loads `path` with the window's load path. True when the loader finished; else `error` says
    // why. With `strict` the file is checked first (and refused as the command line refuses
    // doubtful files) and address records are followed.
    bool load(const QString& path, QString* error, bool strict = false);
    // The dump text of the whole used range.
    QString whole_dump() const;

    SelectedModel model;
    ProgramImage image;
    SerialNumber serial;
    FileLoader loader;
    BufferStore store;
};
