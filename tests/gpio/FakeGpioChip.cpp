#include "FakeGpioChip.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/gpio.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace {

constexpr unsigned Major = 254;
constexpr unsigned Minor = 0;

struct Line {
    bool used = false;
    std::string consumer;
    bool output = false;
    bool activeLow = false;
    int level = 0; // physical
};

struct Request {
    std::vector<unsigned> offsets;
};

struct State {
    bool installed = false;
    std::string name;
    std::string path; // /dev/NAME
    std::string label;
    std::string sysfsRoot;
    std::vector<Line> lines;
    int openError = 0;
    std::set<int> chipFds;
    std::map<int, Request> requests;
    int valueWrites = 0;
    int requestCount = 0;
    bool trace = false;
};

std::recursive_mutex& lock() {
    static auto* mutex = new std::recursive_mutex;
    return *mutex;
}

// Never destroyed: any thread may still close a descriptor while the program ends.
State& state() {
    static State* s = new State;
    return *s;
}

template <typename F> F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

using OpenFn = int (*)(const char*, int, ...);
using OpenatFn = int (*)(int, const char*, int, ...);
using CloseFn = int (*)(int);
using IoctlFn = int (*)(int, unsigned long, ...);
using StatFn = int (*)(const char*, struct stat*);
using AccessFn = int (*)(const char*, int);
using RealpathFn = char* (*)(const char*, char*);

int realOpen(const char* path, int flags, mode_t mode) {
    static const auto fn = real<OpenFn>("open");
    return fn(path, flags, mode);
}

// "/sys/bus/gpio/devices/NAME/dev" lives under the test's own directory.
std::string redirected(const char* path) {
    State& s = state();
    static const std::string prefix = "/sys/bus/gpio/devices/";
    if (s.installed && path && std::strncmp(path, prefix.c_str(), prefix.size()) == 0)
        return s.sysfsRoot + "/" + (path + prefix.size());
    return path ? path : "";
}

bool isChip(const char* path) {
    State& s = state();
    return s.installed && path && s.path == path;
}

int newDescriptor() {
    return realOpen("/dev/null", O_RDWR | O_CLOEXEC, 0);
}

void fillStat(struct stat* buffer) {
    std::memset(buffer, 0, sizeof *buffer);
    buffer->st_mode = S_IFCHR | 0660;
    buffer->st_rdev = makedev(Major, Minor);
}

bool sysfsPresent() {
    State& s = state();
    const std::string attribute = s.sysfsRoot + "/" + s.name + "/dev";
    FILE* file = std::fopen(attribute.c_str(), "r");
    if (!file)
        return false;
    char text[32] = {};
    const bool ok = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%u:%u\n", Major, Minor);
    return ok && std::strcmp(text, expected) == 0;
}

void traceLevels(const char* what, const Request& request) {
    State& s = state();
    if (!s.trace)
        return;
    std::fprintf(stderr, "fake gpio: %s", what);
    for (const unsigned offset : request.offsets)
        std::fprintf(stderr, " %u=%d", offset, s.lines[offset].level);
    std::fprintf(stderr, "\n");
}

void releaseRequest(int fd) {
    State& s = state();
    const auto found = s.requests.find(fd);
    if (found == s.requests.end())
        return;
    for (const unsigned offset : found->second.offsets) {
        s.lines[offset].used = false;
        s.lines[offset].consumer.clear();
        s.lines[offset].output = false; // a released line goes back to input
    }
    s.requests.erase(found);
}

// Marks the lines as held; fails like the kernel on a bad or busy offset.
int claim(const std::vector<unsigned>& offsets, const char* consumer) {
    State& s = state();
    if (offsets.empty() || offsets.size() > GPIO_V2_LINES_MAX)
        return EINVAL;
    for (const unsigned offset : offsets) {
        if (offset >= s.lines.size())
            return EINVAL;
    }
    std::set<unsigned> seen;
    for (const unsigned offset : offsets) {
        if (s.lines[offset].used || !seen.insert(offset).second)
            return EBUSY;
    }
    for (const unsigned offset : offsets) {
        s.lines[offset].used = true;
        s.lines[offset].consumer = consumer && *consumer ? consumer : "?";
    }
    return 0;
}

int lineInfoV1(gpioline_info* info) {
    State& s = state();
    if (info->line_offset >= s.lines.size())
        return EINVAL;
    const Line& line = s.lines[info->line_offset];
    const unsigned offset = info->line_offset;
    std::memset(info, 0, sizeof *info);
    info->line_offset = offset;
    std::snprintf(info->name, sizeof info->name, "GPIO%u", offset);
    if (line.used) {
        info->flags |= GPIOLINE_FLAG_KERNEL;
        std::snprintf(info->consumer, sizeof info->consumer, "%s", line.consumer.c_str());
    }
    if (line.output)
        info->flags |= GPIOLINE_FLAG_IS_OUT;
    if (line.activeLow)
        info->flags |= GPIOLINE_FLAG_ACTIVE_LOW;
    return 0;
}

int lineInfoV2(gpio_v2_line_info* info) {
    State& s = state();
    if (info->offset >= s.lines.size())
        return EINVAL;
    const Line& line = s.lines[info->offset];
    const unsigned offset = info->offset;
    std::memset(info, 0, sizeof *info);
    info->offset = offset;
    std::snprintf(info->name, sizeof info->name, "GPIO%u", offset);
    info->flags = line.output ? GPIO_V2_LINE_FLAG_OUTPUT : GPIO_V2_LINE_FLAG_INPUT;
    if (line.used) {
        info->flags |= GPIO_V2_LINE_FLAG_USED;
        std::snprintf(info->consumer, sizeof info->consumer, "%s", line.consumer.c_str());
    }
    if (line.activeLow)
        info->flags |= GPIO_V2_LINE_FLAG_ACTIVE_LOW;
    return 0;
}

int handleRequestV1(gpiohandle_request* request) {
    State& s = state();
    if (request->lines == 0 || request->lines > GPIOHANDLES_MAX)
        return EINVAL;
    const std::vector<unsigned> offsets(request->lineoffsets, request->lineoffsets + request->lines);
    if (const int error = claim(offsets, request->consumer_label))
        return error;
    const bool output = request->flags & GPIOHANDLE_REQUEST_OUTPUT;
    const bool activeLow = request->flags & GPIOHANDLE_REQUEST_ACTIVE_LOW;
    for (unsigned i = 0; i < request->lines; ++i) {
        Line& line = s.lines[offsets[i]];
        line.output = output;
        line.activeLow = activeLow;
        if (output)
            line.level = (request->default_values[i] ? 1 : 0) ^ (activeLow ? 1 : 0);
    }
    request->fd = newDescriptor();
    s.requests[request->fd] = Request{offsets};
    ++s.requestCount;
    traceLevels("request", s.requests[request->fd]);
    return 0;
}

int lineRequestV2(gpio_v2_line_request* request) {
    State& s = state();
    if (request->num_lines == 0 || request->num_lines > GPIO_V2_LINES_MAX)
        return EINVAL;
    const std::vector<unsigned> offsets(request->offsets, request->offsets + request->num_lines);
    if (const int error = claim(offsets, request->consumer))
        return error;
    const gpio_v2_line_config& config = request->config;
    for (unsigned i = 0; i < request->num_lines; ++i) {
        std::uint64_t flags = config.flags;
        int value = 0;
        for (unsigned a = 0; a < config.num_attrs && a < GPIO_V2_LINE_NUM_ATTRS_MAX; ++a) {
            const gpio_v2_line_config_attribute& attribute = config.attrs[a];
            if (!(attribute.mask & (1ULL << i)))
                continue;
            if (attribute.attr.id == GPIO_V2_LINE_ATTR_ID_FLAGS)
                flags = attribute.attr.flags;
            else if (attribute.attr.id == GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES)
                value = (attribute.attr.values >> i) & 1;
        }
        Line& line = s.lines[offsets[i]];
        line.output = flags & GPIO_V2_LINE_FLAG_OUTPUT;
        line.activeLow = flags & GPIO_V2_LINE_FLAG_ACTIVE_LOW;
        if (line.output)
            line.level = value ^ (line.activeLow ? 1 : 0);
    }
    request->fd = newDescriptor();
    s.requests[request->fd] = Request{offsets};
    ++s.requestCount;
    traceLevels("request", s.requests[request->fd]);
    return 0;
}

int chipIoctl(unsigned request, void* argument) {
    State& s = state();
    if (request == (unsigned)GPIO_GET_CHIPINFO_IOCTL) {
        auto* info = static_cast<gpiochip_info*>(argument);
        std::memset(info, 0, sizeof *info);
        std::snprintf(info->name, sizeof info->name, "%s", s.name.c_str());
        std::snprintf(info->label, sizeof info->label, "%s", s.label.c_str());
        info->lines = unsigned(s.lines.size());
        return 0;
    }
    if (request == (unsigned)GPIO_GET_LINEINFO_IOCTL)
        return lineInfoV1(static_cast<gpioline_info*>(argument));
    if (request == (unsigned)GPIO_V2_GET_LINEINFO_IOCTL)
        return lineInfoV2(static_cast<gpio_v2_line_info*>(argument));
    if (request == (unsigned)GPIO_GET_LINEHANDLE_IOCTL)
        return handleRequestV1(static_cast<gpiohandle_request*>(argument));
    if (request == (unsigned)GPIO_V2_GET_LINE_IOCTL)
        return lineRequestV2(static_cast<gpio_v2_line_request*>(argument));
    return ENOTTY;
}

int requestIoctl(Request& held, unsigned request, void* argument) {
    State& s = state();
    if (request == (unsigned)GPIOHANDLE_SET_LINE_VALUES_IOCTL) {
        const auto* data = static_cast<gpiohandle_data*>(argument);
        for (std::size_t i = 0; i < held.offsets.size(); ++i) {
            Line& line = s.lines[held.offsets[i]];
            if (!line.output)
                return EPERM;
            line.level = (data->values[i] ? 1 : 0) ^ (line.activeLow ? 1 : 0);
        }
        ++s.valueWrites;
        traceLevels("set", held);
        return 0;
    }
    if (request == (unsigned)GPIOHANDLE_GET_LINE_VALUES_IOCTL) {
        auto* data = static_cast<gpiohandle_data*>(argument);
        std::memset(data, 0, sizeof *data);
        for (std::size_t i = 0; i < held.offsets.size(); ++i) {
            const Line& line = s.lines[held.offsets[i]];
            data->values[i] = std::uint8_t(line.level ^ (line.activeLow ? 1 : 0));
        }
        return 0;
    }
    if (request == (unsigned)GPIO_V2_LINE_SET_VALUES_IOCTL) {
        const auto* values = static_cast<gpio_v2_line_values*>(argument);
        for (std::size_t i = 0; i < held.offsets.size(); ++i) {
            if (!(values->mask & (1ULL << i)))
                continue;
            Line& line = s.lines[held.offsets[i]];
            if (!line.output)
                return EPERM;
            line.level = int((values->bits >> i) & 1) ^ (line.activeLow ? 1 : 0);
        }
        ++s.valueWrites;
        traceLevels("set", held);
        return 0;
    }
    if (request == (unsigned)GPIO_V2_LINE_GET_VALUES_IOCTL) {
        auto* values = static_cast<gpio_v2_line_values*>(argument);
        values->bits = 0;
        for (std::size_t i = 0; i < held.offsets.size(); ++i) {
            const Line& line = s.lines[held.offsets[i]];
            if (values->mask & (1ULL << i))
                values->bits |= std::uint64_t(line.level ^ (line.activeLow ? 1 : 0)) << i;
        }
        return 0;
    }
    return ENOTTY;
}

void configureFromEnvironment() {
    const char* chip = std::getenv("KTR_FAKE_GPIO");
    if (!chip)
        return;
    char name[64] = {};
    char label[64] = {};
    unsigned lines = 0;
    if (std::sscanf(chip, "%63[^,],%u,%63[^\n]", name, &lines, label) < 2)
        return;
    const char* root = std::getenv("KTR_FAKE_GPIO_SYSFS");
    FakeGpioChip::install(name, lines, label, root ? root : "/nonexistent",
                          std::getenv("KTR_FAKE_GPIO_NO_SYSFS") == nullptr);
    state().trace = std::getenv("KTR_FAKE_GPIO_TRACE") != nullptr;
    if (const char* busy = std::getenv("KTR_FAKE_GPIO_BUSY")) {
        std::string list = busy;
        std::size_t start = 0;
        while (start < list.size()) {
            const std::size_t end = list.find(';', start);
            const std::string item =
                list.substr(start, end == std::string::npos ? std::string::npos : end - start);
            const std::size_t equals = item.find('=');
            if (equals != std::string::npos)
                FakeGpioChip::setBusy(unsigned(std::stoul(item.substr(0, equals))), item.substr(equals + 1));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
}

__attribute__((constructor)) void fakeGpioStart() {
    configureFromEnvironment();
}

int openChip() {
    State& s = state();
    if (s.openError) {
        errno = s.openError;
        return -1;
    }
    const int fd = newDescriptor();
    if (fd >= 0)
        s.chipFds.insert(fd);
    return fd;
}

int statChip(const char* path, struct stat* buffer, const char* fallback) {
    std::lock_guard guard(lock());
    if (isChip(path)) {
        fillStat(buffer);
        return 0;
    }
    static const auto fn = real<StatFn>(fallback);
    return fn(redirected(path).c_str(), buffer);
}

int openPath(const char* path, int flags, mode_t mode, bool at, int dirfd) {
    {
        std::lock_guard guard(lock());
        if (isChip(path))
            return openChip();
    }
    const std::string target = redirected(path);
    if (at) {
        static const auto fn = real<OpenatFn>("openat");
        return fn(dirfd, target.c_str(), flags, mode);
    }
    return realOpen(target.c_str(), flags, mode);
}

mode_t modeArgument(int flags, va_list arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) ? mode_t(va_arg(arguments, int)) : 0;
}

} // namespace

namespace FakeGpioChip {

void install(const std::string& name, unsigned lines, const std::string& label, const std::string& sysfsRoot,
             bool withSysfs) {
    std::lock_guard guard(lock());
    uninstall();
    State& s = state();
    s.installed = true;
    s.name = name;
    s.path = "/dev/" + name;
    s.label = label;
    s.sysfsRoot = sysfsRoot;
    s.lines.assign(lines, Line{});
    const std::string directory = sysfsRoot + "/" + name;
    const std::string attribute = directory + "/dev";
    if (withSysfs) {
        ::mkdir(sysfsRoot.c_str(), 0755);
        ::mkdir(directory.c_str(), 0755);
        if (FILE* file = std::fopen(attribute.c_str(), "w")) {
            std::fprintf(file, "%u:%u\n", Major, Minor);
            std::fclose(file);
        }
    } else {
        ::unlink(attribute.c_str());
    }
}

void uninstall() {
    std::lock_guard guard(lock());
    State& s = state();
    static const auto realClose = real<CloseFn>("close");
    for (const int fd : s.chipFds)
        realClose(fd);
    for (const auto& [fd, request] : s.requests)
        realClose(fd);
    const bool trace = s.trace;
    s = State{};
    s.trace = trace;
}

void setBusy(unsigned offset, const std::string& consumer) {
    std::lock_guard guard(lock());
    State& s = state();
    if (offset < s.lines.size()) {
        s.lines[offset].used = true;
        s.lines[offset].consumer = consumer;
    }
}

void setOpenError(int error) {
    std::lock_guard guard(lock());
    state().openError = error;
}

std::vector<int> levels() {
    std::lock_guard guard(lock());
    std::vector<int> result;
    for (const Line& line : state().lines)
        result.push_back(line.used && line.output ? line.level : -1);
    return result;
}

int valueWrites() {
    std::lock_guard guard(lock());
    return state().valueWrites;
}

int requests() {
    std::lock_guard guard(lock());
    return state().requestCount;
}

std::string consumer(unsigned offset) {
    std::lock_guard guard(lock());
    const State& s = state();
    return offset < s.lines.size() && s.lines[offset].used ? s.lines[offset].consumer : std::string();
}

int openDescriptors() {
    std::lock_guard guard(lock());
    return int(state().chipFds.size() + state().requests.size());
}

} // namespace FakeGpioChip

// The interposed calls. Anything that is not the fake chip goes on to the C library.
extern "C" {

int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openPath(path, flags, mode, false, AT_FDCWD);
}

int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openPath(path, flags, mode, false, AT_FDCWD);
}

int openat(int dirfd, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openPath(path, flags, mode, true, dirfd);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openPath(path, flags, mode, true, dirfd);
}

int close(int fd) {
    {
        std::lock_guard guard(lock());
        State& s = state();
        s.chipFds.erase(fd);
        releaseRequest(fd);
    }
    static const auto fn = real<CloseFn>("close");
    return fn(fd);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    {
        std::lock_guard guard(lock());
        State& s = state();
        // libgpiod 2 passes its request numbers as int, so they may arrive sign-extended: the
        // kernel, like this fake, looks at the low 32 bits only.
        const unsigned command = unsigned(request & 0xFFFFFFFFu);
        int error = -1;
        if (s.chipFds.count(fd))
            error = chipIoctl(command, argument);
        else if (const auto held = s.requests.find(fd); held != s.requests.end())
            error = requestIoctl(held->second, command, argument);
        if (error >= 0) {
            if (error == 0)
                return 0;
            errno = error;
            return -1;
        }
    }
    static const auto fn = real<IoctlFn>("ioctl");
    return fn(fd, request, argument);
}

int stat(const char* path, struct stat* buffer) {
    return statChip(path, buffer, "stat");
}

int lstat(const char* path, struct stat* buffer) {
    return statChip(path, buffer, "lstat");
}

int stat64(const char* path, struct stat64* buffer) {
    return statChip(path, reinterpret_cast<struct stat*>(buffer), "stat64");
}

int lstat64(const char* path, struct stat64* buffer) {
    return statChip(path, reinterpret_cast<struct stat*>(buffer), "lstat64");
}

int access(const char* path, int mode) {
    static const auto fn = real<AccessFn>("access");
    return fn(redirected(path).c_str(), mode);
}

// libgpiod 2 checks that /sys/dev/char/MAJOR:MINOR/subsystem resolves to /sys/bus/gpio.
char* realpath(const char* path, char* resolved) {
    {
        std::lock_guard guard(lock());
        char subsystem[64];
        std::snprintf(subsystem, sizeof subsystem, "/sys/dev/char/%u:%u/subsystem", Major, Minor);
        if (state().installed && path && std::strcmp(path, subsystem) == 0) {
            if (!sysfsPresent()) {
                errno = ENOENT;
                return nullptr;
            }
            static const char gpio[] = "/sys/bus/gpio";
            if (resolved)
                return std::strcpy(resolved, gpio);
            return strdup(gpio);
        }
    }
    static const auto fn = real<RealpathFn>("realpath");
    return fn(path, resolved);
}

} // extern "C"
