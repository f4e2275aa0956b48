#include "engine/job_options.h"

#include <algorithm>
#include <climits>

namespace vekdc {

namespace {

int list_count(const std::vector<std::string>& files) {
    return static_cast<int>(std::min<std::size_t>(files.size(), INT_MAX));
}

job_options batch_encode(std::vector<std::string> files, std::string out_dir,
                         int clear_prefix_length, int header_extra) {
    job_options job;
    job.encode = true;
    job.levels = 2;
    job.pvek = true;
    job.clear_prefix_length = clear_prefix_length;
    job.header_extra = header_extra;
    job.encode_file_count = list_count(files);
    job.encode_files = std::move(files);
    job.encode_out_dir = std::move(out_dir);
    return job;
}

}  // namespace

job_options decode_job(Matrix decoding_key, std::vector<std::string> files, std::string out_dir) {
    job_options job;
    job.key_usage = key_usage::read_once;
    job.decode = true;
    job.levels = 2;
    job.key_to_use = decoding_key;
    job.encode_files.assign(1, std::string());
    job.decode_file_count = list_count(files);
    job.decode_files = std::move(files);
    job.decode_out_dir = std::move(out_dir);
    return job;
}

job_options encode_job(Matrix decoding_key, std::vector<std::string> files, std::string out_dir,
                       int clear_prefix_length, int header_extra) {
    job_options job =
        batch_encode(std::move(files), std::move(out_dir), clear_prefix_length, header_extra);
    job.key_usage = key_usage::read_once;
    job.key_to_use = decoding_key;
    return job;
}

job_options encode_job_reading_A(std::vector<std::string> files, std::string out_dir,
                                 int clear_prefix_length, int header_extra) {
    job_options job =
        batch_encode(std::move(files), std::move(out_dir), clear_prefix_length, header_extra);
    job.key_usage = key_usage::read_each_time;
    job.read_A = true;
    return job;
}

job_options create_keys_job(bool create_A, bool random, std::string key_dir) {
    job_options job;
    job.key_usage = key_usage::create;
    job.create_A = create_A;
    job.create_B = !create_A;
    job.random_A = create_A && random;
    job.random_B = !create_A && random;
    job.save_keys = true;
    job.levels = 2;
    job.key_dir = std::move(key_dir);
    return job;
}

job_options key_set_job() {
    job_options job;
    job.make_key_set = true;
    job.key_set_kind = "finite";
    job.levels = 2;
    job.interactive_encode = true;
    job.pvek = true;
    return job;
}

}  // namespace vekdc
