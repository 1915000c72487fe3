#include "device/job.h"

#include "device/workbench.h"
#include "image/serial_number.h"

void JobOptions::apply(Workbench& bench) const
{
    const int family = bench.model.model_family;
    if (family == 0 || family == 2)
        bench.options.set_double_speed(double_speed);
    if (family == 2)
        bench.options.set_half_gain(half_gain);
    bench.options.erase_data_yes = erase_data;
    bench.options.p10_p11_to_gnd_yes = p10_p11_to_gnd;
    bench.options.aux_ram_no = aux_ram_no;
    bench.options.rst_close_wdt_no = rst_close_wdt_no;
}

Job Job::capture(const Workbench& bench, const SerialNumber* serial)
{
    Job r;
    r.model_name = bench.model.combo_text;
    r.link_choices = bench.choices;
    r.wdt_pin_option_selected = bench.work.wdt_pin_option_selected();
    r.loops_per_ms = bench.link.loops_per_ms();
    r.options.double_speed = bench.options.double_speed_yes();
    r.options.half_gain = bench.options.half_gain();
    r.options.erase_data = bench.options.erase_data_yes;
    r.options.p10_p11_to_gnd = bench.options.p10_p11_to_gnd_yes;
    r.options.aux_ram_no = bench.options.aux_ram_no;
    r.options.rst_close_wdt_no = bench.options.rst_close_wdt_no;

    const ProgramImage& image = bench.image;
    r.buffer = std::make_shared<const std::array<quint8, ProgramImage::kSize>>(image.program_buffer);
    r.fill_ff = image.fill_ff;
    r.file_loaded = image.file_loaded;
    r.file_start = image.file_start;
    r.file_end = image.file_end;
    r.image_start = image.image_start;
    r.image_end = image.image_end;
    r.isp_start = image.isp_start;
    r.file_path = image.file_path;

    if (serial) {
        r.serial_enabled = serial->checked && serial->serial_active;
        r.serial_texts = serial->texts;
        r.serial_format = serial->format;
    }
    r.choices = bench.runner.choices;
    return r;
}

void Job::apply(Workbench& bench, SerialNumber& serial) const
{
    bench.select_model(model_name);
    bench.choices = link_choices;
    bench.work.set_wdt_pin_option_selected(wdt_pin_option_selected);
    bench.link.set_loops_per_ms(loops_per_ms);
    options.apply(bench);

    ProgramImage& image = bench.image;
    if (buffer)
        image.program_buffer = *buffer;
    image.fill_ff = fill_ff;
    image.file_loaded = file_loaded;
    image.file_start = file_start;
    image.file_end = file_end;
    image.image_start = image_start;
    image.image_end = image_end;
    image.isp_start = isp_start;
    image.file_path = file_path;

    for (int i = 0; i < 4; ++i)
        serial.set_field_text(i, serial_texts[size_t(i)]);
    serial.select_format(serial_format);
    if (serial_enabled)
        serial.check_serial_settings();

    bench.runner.choices = choices;
    bench.runner.choices.reload_file = false;
}
