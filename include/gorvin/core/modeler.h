// The modeler: name, module, the sixteen embedding descriptors and the list of its G-maps.
// G-maps are shared: a copied modeler lists the same G-maps as its source. A G-map refers back to
// the modeler that made it without owning it, so the two never keep each other alive; a copy keeps
// its source alive, so that every G-map it lists still has its modeler.
#pragma once

#include "gorvin/core/embedding_descriptor.h"
#include "gorvin/core/gmap.h"
#include "gorvin/core/types.h"

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace gorvin {

// Policy: `Value` (an embedding value, null when default-constructed), `typeName()` (the name
// every descriptor carries) and `create()` (a fresh default value).
template <class Policy> class IModeler : public std::enable_shared_from_this<IModeler<Policy>> {
  public:
    using Value = typename Policy::Value;
    using GMap = IGMap<Policy>;
    using Descriptors = EmbeddingDescriptors<Value>;

    explicit IModeler(std::string name = "gorvinmodeler", std::string module = "gorvinpy")
        : name_(std::move(name)), module_(std::move(module)), descriptors_(makeDescriptors()) {}
    IModeler(const IModeler& other)
        : std::enable_shared_from_this<IModeler>(), name_(other.name_), module_(other.module_),
          descriptors_(other.descriptors_), gmaps_(other.gmaps_),
          source_(other.weak_from_this().lock()) {}
    IModeler& operator=(const IModeler&) = delete;

    const std::string& name() const { return name_; }
    const std::string& module() const { return module_; }
    static constexpr unsigned dim() { return kDimension; }
    static constexpr unsigned sizeEbds() { return kSlots; }
    std::size_t sizeGMaps() const { return gmaps_.size(); }
    const Descriptors& descriptors() const { return *descriptors_; }

    const std::shared_ptr<GMap>& gmap(std::size_t gid) const {
        if (gid >= gmaps_.size()) throw std::out_of_range("Index out of range");
        return gmaps_[gid];
    }

    const std::shared_ptr<GMap>& makeGMap() {
        const auto id = static_cast<std::uint32_t>(gmaps_.size());
        gmaps_.push_back(std::make_shared<GMap>(this->weak_from_this(), descriptors_, id));
        return gmaps_.back();
    }

  private:
    static std::shared_ptr<const Descriptors> makeDescriptors() {
        auto descriptors = std::make_shared<Descriptors>();
        for (auto& descriptor : *descriptors) {
            descriptor.name = Policy::typeName();
            descriptor.useFunction = true;
            descriptor.function = &Policy::create;
            descriptor.stored = Policy::create();
        }
        return descriptors;
    }

    std::string name_;
    std::string module_;
    std::shared_ptr<const Descriptors> descriptors_;
    std::vector<std::shared_ptr<GMap>> gmaps_;
    std::shared_ptr<const IModeler> source_;
};

} // namespace gorvin
