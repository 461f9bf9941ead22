#include "offline/body_spool.h"

#include "platform/part_file.h"

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace offline {
namespace {

constexpr std::string_view spool_folder = ".bodies";
constexpr std::string_view file_mark = "pellumo body 1\n";

class Writer {
public:
    explicit Writer(platform::PartFile& file) : m_file(file) {}

    void size(std::uint64_t value) {
        m_file.write(std::string_view(reinterpret_cast<const char*>(&value), sizeof value));
    }
    void text(std::string_view value) {
        size(value.size());
        m_file.write(value);
    }

private:
    platform::PartFile& m_file;
};

class Reader {
public:
    explicit Reader(const std::filesystem::path& file) : m_in(file, std::ios::binary) {}

    std::uint64_t size() {
        std::uint64_t value = 0;
        read(reinterpret_cast<char*>(&value), sizeof value);
        return value;
    }
    // Sizes come from a file this save wrote, but a damaged one must not ask for the moon.
    std::uint64_t count(std::uint64_t most) {
        const std::uint64_t value = size();
        if (value > most) {
            throw std::runtime_error("damaged body file");
        }
        return value;
    }
    std::string text() {
        std::string value(count(std::uint64_t{1} << 40), '\0');
        read(value.data(), value.size());
        return value;
    }
    void mark() {
        std::string found(file_mark.size(), '\0');
        read(found.data(), found.size());
        if (found != file_mark) {
            throw std::runtime_error("not a body file");
        }
    }

private:
    void read(char* into, std::size_t bytes) {
        if (!m_in.read(into, static_cast<std::streamsize>(bytes))) {
            throw std::runtime_error("body file cut short");
        }
    }

    std::ifstream m_in;
};

} // namespace

BodySpool::BodySpool(const std::filesystem::path& copy_folder, SpoolStart start)
    : m_folder(copy_folder / spool_folder) {
    std::error_code error;
    if (start == SpoolStart::empty) {
        std::filesystem::remove_all(m_folder, error); // what a save that was cut short left
    }
    std::filesystem::create_directories(m_folder, error);
    if (error) {
        throw std::runtime_error("cannot make the body folder: " + error.message());
    }
}

BodySpool::~BodySpool() {
    if (m_kept) {
        return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

std::filesystem::path BodySpool::file_of(std::size_t number) const {
    return m_folder / std::to_string(number);
}

void BodySpool::Store(std::size_t number, const CleanBody& body) const {
    platform::PartFile file(file_of(number), platform::Durability::scratch);
    Writer out(file);
    file.write(file_mark);
    out.size(body.as_text ? 1 : 0);
    out.size(body.markup.size());
    for (const std::string& piece : body.markup) {
        out.text(piece);
    }
    out.size(body.addresses.size());
    for (const BodyAddress& value : body.addresses) {
        out.size(value.picture ? 1 : 0);
        out.text(value.address);
        out.text(value.fragment);
        out.text(value.attributes);
    }
    if (!file.commit()) {
        throw std::runtime_error("cannot write the body of post " + std::to_string(number));
    }
}

CleanBody BodySpool::Load(std::size_t number) const {
    Reader in(file_of(number));
    in.mark();
    CleanBody body;
    body.as_text = in.size() != 0;
    // Every entry takes at least 8 bytes of the file; more entries than that is damage.
    const std::uint64_t most = std::uint64_t{1} << 32;
    body.markup.resize(in.count(most));
    for (std::string& piece : body.markup) {
        piece = in.text();
    }
    body.addresses.resize(in.count(most));
    for (BodyAddress& value : body.addresses) {
        value.picture = in.size() != 0;
        value.address = in.text();
        value.fragment = in.text();
        value.attributes = in.text();
    }
    return body;
}

} // namespace offline
