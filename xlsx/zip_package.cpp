#include "xlsx/zip_package.h"

#include "xlsx/xml_part.h"

#include <unordered_set>
#include <zip.h>

namespace xlsx {

namespace {

// Reads one entry whole; it must unpack to the size that the directory states.
std::string ReadEntry(zip_t* archive, zip_uint64_t index, zip_uint64_t size, const char* name) {
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (!file)
        throw std::runtime_error(zip_strerror(archive));
    std::string data;
    data.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            const std::string error = zip_file_strerror(file);
            zip_fclose(file);
            throw std::runtime_error(error);
        }
        if (n == 0)
            break;
        if (static_cast<zip_uint64_t>(n) > size - data.size()) {
            zip_fclose(file);
            throw std::runtime_error(std::string("the part ") + name + " is longer than the package says");
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    zip_fclose(file);
    return data;
}

// Opens an archive over a memory buffer (no data: a new, empty archive). The archive owns the
// buffer source from then on; the source is handed out so that a new archive can be read back.
zip_t* OpenMemoryArchive(const void* data, std::size_t size, int flags, zip_source_t** source) {
    zip_error_t error;
    zip_error_init(&error);
    *source = zip_source_buffer_create(data, size, 0, &error);
    zip_t* archive = *source ? zip_open_from_source(*source, flags, &error) : nullptr;
    if (!archive) {
        if (*source)
            zip_source_free(*source);
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw std::runtime_error(text);
    }
    zip_error_fini(&error);
    return archive;
}

struct Entry {
    const char* name;
    zip_uint64_t size;
};

// The directory's entries with their unpacked sizes, checked before anything is unpacked.
std::vector<Entry> ReadDirectory(zip_t* archive) {
    std::vector<Entry> entries;
    std::unordered_set<std::string> seen;
    std::uint64_t total = 0;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t info;
        zip_stat_init(&info);
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &info) < 0)
            throw std::runtime_error(zip_strerror(archive));
        if (!(info.valid & ZIP_STAT_NAME) || !(info.valid & ZIP_STAT_SIZE))
            throw std::runtime_error("its directory is damaged");
        if (!seen.insert(Lower(info.name)).second)
            throw std::runtime_error(std::string("the part ") + info.name + " is stored twice");
        total += info.size;
        if (info.size > kMaxPackageBytes || total > kMaxPackageBytes) {
            // The whole figure, for the message; sizes are added without overflow.
            for (zip_int64_t k = i + 1; k < count; ++k)
                if (zip_stat_index(archive, static_cast<zip_uint64_t>(k), ZIP_FL_ENC_RAW, &info) == 0 &&
                    (info.valid & ZIP_STAT_SIZE) && total <= UINT64_MAX - info.size)
                    total += info.size;
            throw PackageTooLarge(total);
        }
        entries.push_back({info.name, info.size});
    }
    return entries;
}

} // namespace

std::vector<PackagePart> ReadPackage(const std::string& bytes) {
    zip_source_t* source = nullptr;
    zip_t* archive = OpenMemoryArchive(bytes.data(), bytes.size(), ZIP_RDONLY | ZIP_CHECKCONS, &source);
    std::vector<PackagePart> parts;
    try {
        const std::vector<Entry> entries = ReadDirectory(archive);
        parts.reserve(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            PackagePart part{entries[i].name, {}, EndsWith(entries[i].name, "/")};
            if (!part.directory)
                part.data = ReadEntry(archive, i, entries[i].size, entries[i].name);
            parts.push_back(std::move(part));
        }
    } catch (...) {
        zip_discard(archive);
        throw;
    }
    zip_discard(archive);
    return parts;
}

std::string WritePackage(const std::vector<std::pair<const PackagePart*, const std::string*>>& parts) {
    zip_source_t* target = nullptr;
    zip_t* archive = OpenMemoryArchive(nullptr, 0, ZIP_TRUNCATE, &target);
    zip_source_keep(target);

    auto fail = [&](const std::string& text) {
        zip_discard(archive);
        zip_source_free(target);
        throw std::runtime_error(text);
    };
    for (const auto& [part, data] : parts) {
        if (part->directory) {
            if (zip_dir_add(archive, part->name.c_str(), ZIP_FL_ENC_GUESS) < 0)
                fail(zip_strerror(archive));
            continue;
        }
        zip_source_t* source = zip_source_buffer(archive, data->data(), data->size(), 0);
        if (!source)
            fail(zip_strerror(archive));
        const zip_int64_t index = zip_file_add(archive, part->name.c_str(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(source);
            fail(zip_strerror(archive));
        }
        // zlib's usual level: the size that other producers give, in a third of the time that
        // libzip's own choice (the best compression) takes on large sheets.
        if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 6) < 0)
            fail(zip_strerror(archive));
    }
    if (zip_close(archive) < 0)
        fail(zip_strerror(archive));

    std::string bytes;
    zip_stat_t info;
    if (zip_source_stat(target, &info) < 0 || zip_source_open(target) < 0) {
        zip_source_free(target);
        throw std::runtime_error("cannot read back the new package");
    }
    bytes.resize(static_cast<std::size_t>(info.size));
    const zip_int64_t n = zip_source_read(target, bytes.data(), bytes.size());
    zip_source_close(target);
    zip_source_free(target);
    if (n < 0 || static_cast<std::size_t>(n) != bytes.size())
        throw std::runtime_error("cannot read back the new package");
    return bytes;
}

} // namespace xlsx
