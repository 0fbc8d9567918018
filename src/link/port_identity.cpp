// Serial ports by what they are. See port_identity.h.
#include "link/port_identity.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

namespace calvento {

namespace {

bool sameModel(const SerialPortInfo& a, int vendorId, int productId) {
    return a.vendorId == vendorId && a.productId == productId;
}

// The ports of one vendor and product in a stable order: by where they are plugged in, then
// by name.
std::vector<const SerialPortInfo*> twins(const std::vector<SerialPortInfo>& all, int vendorId,
                                         int productId) {
    std::vector<const SerialPortInfo*> out;
    for (const SerialPortInfo& p : all)
        if (sameModel(p, vendorId, productId)) out.push_back(&p);
    std::sort(out.begin(), out.end(), [](const SerialPortInfo* a, const SerialPortInfo* b) {
        return a->location != b->location ? a->location < b->location : a->name < b->name;
    });
    return out;
}

// Semicolons and line ends cannot be part of a value of the one-line form.
std::string clean(std::string s) {
    std::replace_if(
        s.begin(), s.end(), [](char c) { return c == ';' || c == '\t' || c == '\n' || c == '\r'; },
        ' ');
    return s;
}

}  // namespace

std::string VendorProduct(int vendorId, int productId) {
    if (vendorId < 0 || productId < 0) return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", vendorId & 0xffff, productId & 0xffff);
    return text;
}

PortIdentity IdentityOf(const SerialPortInfo& port, const std::vector<SerialPortInfo>& all) {
    PortIdentity id;
    id.serialNumber = port.serialNumber;
    id.byId = port.byId;
    id.vendorId = port.vendorId;
    id.productId = port.productId;
    id.name = port.name;
    id.description = port.description;
    const auto same = twins(all, port.vendorId, port.productId);
    for (size_t i = 0; i < same.size(); ++i)
        if (same[i]->name == port.name) id.position = static_cast<int>(i);
    return id;
}

const SerialPortInfo* FindAdapter(const PortIdentity& id, const std::vector<SerialPortInfo>& all) {
    if (!id.serialNumber.empty()) {
        for (const SerialPortInfo& p : all)
            if (p.serialNumber == id.serialNumber &&
                (id.vendorId < 0 || sameModel(p, id.vendorId, id.productId)))
                return &p;
        return nullptr;
    }
    if (!id.byId.empty()) {
        for (const SerialPortInfo& p : all)
            if (p.byId == id.byId) return &p;
    }
    if (id.vendorId >= 0) {
        const auto same = twins(all, id.vendorId, id.productId);
        if (id.position >= 0 && id.position < static_cast<int>(same.size()))
            return same[static_cast<size_t>(id.position)];
        return nullptr;
    }
    for (const SerialPortInfo& p : all)
        if (p.name == id.name) return &p;
    return nullptr;
}

std::string IdentityText(const PortIdentity& id) {
    std::string text;
    auto add = [&text](const char* key, const std::string& value) {
        if (value.empty()) return;
        if (!text.empty()) text += ';';
        text += key;
        text += '=';
        text += clean(value);
    };
    add("vidpid", VendorProduct(id.vendorId, id.productId));
    add("serial", id.serialNumber);
    add("byid", id.byId);
    if (id.vendorId >= 0) add("pos", std::to_string(id.position));
    add("name", id.name);
    add("desc", id.description);
    return text;
}

PortIdentity IdentityFromText(const std::string& text) {
    PortIdentity id;
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ';')) {
        const size_t eq = item.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
        if (key == "vidpid") {
            unsigned vendor = 0, product = 0;
            if (std::sscanf(value.c_str(), "%4x:%4x", &vendor, &product) == 2) {
                id.vendorId = static_cast<int>(vendor);
                id.productId = static_cast<int>(product);
            }
        } else if (key == "serial") {
            id.serialNumber = value;
        } else if (key == "byid") {
            id.byId = value;
        } else if (key == "pos") {
            id.position = std::atoi(value.c_str());
        } else if (key == "name") {
            id.name = value;
        } else if (key == "desc") {
            id.description = value;
        }
    }
    return id;
}

std::string AdapterText(const PortIdentity& id) {
    std::string text = id.description.empty() ? id.name : id.description;
    std::string details = VendorProduct(id.vendorId, id.productId);
    if (!id.serialNumber.empty())
        details += (details.empty() ? "" : ", ") + std::string("serial ") + id.serialNumber;
    else if (id.vendorId >= 0 && id.position > 0)
        details += ", the " + std::to_string(id.position + 1) + ". of its kind";
    if (!id.name.empty() && id.name != text)
        details += (details.empty() ? "" : ", ") + std::string("last seen as ") + id.name;
    return details.empty() ? text : text + " (" + details + ")";
}

void ParseInstanceId(const std::string& id, SerialPortInfo* port) {
    std::string upper = id;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    auto hex = [&upper](const char* key) {
        const size_t at = upper.find(key);
        if (at == std::string::npos || at + 8 > upper.size()) return -1;
        unsigned value = 0;
        return std::sscanf(upper.c_str() + at + 4, "%4x", &value) == 1 ? static_cast<int>(value)
                                                                       : -1;
    };
    port->vendorId = hex("VID_");
    port->productId = hex("PID_");
    // The parts between the backslashes: bus, hardware, instance.
    std::vector<std::string> parts;
    std::istringstream in(id);
    for (std::string part; std::getline(in, part, '\\');) parts.push_back(part);
    if (parts.size() != 3) return;
    if (upper.rfind("USB\\", 0) == 0 && parts[2].find('&') == std::string::npos)
        port->serialNumber = parts[2];
    const size_t plus = parts[1].find('+', parts[1].find('+') + 1);
    if (parts[1].find('+') != std::string::npos && plus != std::string::npos)
        port->serialNumber = parts[1].substr(plus + 1);
}

std::string PortListText(const std::vector<SerialPortInfo>& ports) {
    std::string out = "port\tby-id\tdescription\tmanufacturer\tserial\tvid:pid\n";
    for (const SerialPortInfo& p : ports) {
        out += clean(p.name) + '\t' + clean(p.byId) + '\t' + clean(p.description) + '\t' +
               clean(p.manufacturer) + '\t' + clean(p.serialNumber) + '\t' +
               VendorProduct(p.vendorId, p.productId) + '\n';
    }
    return out;
}

}  // namespace calvento
