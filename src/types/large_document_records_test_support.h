// Native records describing the generated catalog of codec/large_document_test_support.h, with
// its descriptions for the type registry: every width of integer, float and double, texts, an
// enum written by name, nested records, vectors of records and of texts, maps of texts and of
// numbers, a held free-form value (which keeps the document's nulls) and two omit-empty fields
// (the document's optional members, never written empty). A document read into a Catalog and
// written back is the document again, member order aside.
//
// Users: the types tests and benchmark of the JSON <-> native paths, host_value_arena_test,
// host_value_route_test and request_dispatch_benchmark.
#ifndef PYX_TYPES_LARGE_DOCUMENT_RECORDS_TEST_SUPPORT_H_
#define PYX_TYPES_LARGE_DOCUMENT_RECORDS_TEST_SUPPORT_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "types/record_description.h"
#include "value/binding_property.h"

namespace Vane::large_document_records {

enum class OfferType { kSale = 1, kRental = 2, kTrade = 3, kGift = 4 };

struct Stock {
    uint32_t available = 0;
    uint32_t total = 0;
    uint16_t reserved = 0;
};
struct Part {
    std::string kind;
    std::string label;
    bool required = false;
    Stock stock;
    std::vector<std::string> bins;
};
struct Media {
    std::string imageUrl;
    bool framed = false;
    std::string videoUrl;
};
struct Offer {
    OfferType offerType = OfferType::kSale;
    std::string label;
    uint32_t quantity = 0;
    bool paid = false;
    std::string group;
    Media media;
};
struct Notice {
    std::string kind;
    std::string message;
    uint64_t noticeTime = 0;
};
struct Packaging {
    std::map<std::string, std::string> labels;
    int8_t layer = 0;
};
struct Details {
    uint8_t shelf = 0;
    uint16_t points = 0;
    Packaging packaging;
};
struct Item {
    std::string id, sku, name, description, summary, state, kind;
    uint32_t position = 0;
    uint64_t listedAt = 0, expiresAt = 0, updatedAt = 0;
    int64_t soldAt = 0;
    uint64_t restockMillis = 0, checksum = 0;
    int64_t balance = 0;
    bool featured = false, fresh = false;
    double weight = 0, rating = 0;
    float scale = 0;
    std::string imageUrl, thumbnailUrl, collection, locale;
    uint16_t discountPercent = 0;  // optional
    std::string note;              // optional
    std::vector<Part> parts;
    std::vector<Offer> offers;
    std::vector<Notice> notices;
    Details details;
    std::map<std::string, uint32_t> stockBySite;
    BindingProperty attributes;
    std::vector<std::string> keywords;
};
struct Collection {
    std::string id, name, layout, state;
    uint64_t opensAt = 0, closesAt = 0;
    std::string caption, parentId;
    bool isPublic = false;
    std::vector<std::string> tags;
};
struct Catalog {
    std::vector<Item> items;
    std::vector<Collection> collections;
};

inline void DescribeType(RecordBuilder<OfferType>& r) {
    r.Name("CatalogOfferType");
    r.Enumerator("SALE", OfferType::kSale, "");
    r.Enumerator("RENTAL", OfferType::kRental, "");
    r.Enumerator("TRADE", OfferType::kTrade, "");
    r.Enumerator("GIFT", OfferType::kGift, "");
}
inline void DescribeType(RecordBuilder<Stock>& r) {
    r.Name("CatalogStock");
    r.Field("available", &Stock::available);
    r.Field("total", &Stock::total);
    r.Field("reserved", &Stock::reserved);
}
inline void DescribeType(RecordBuilder<Part>& r) {
    r.Name("CatalogPart");
    r.Field("kind", &Part::kind);
    r.Field("label", &Part::label);
    r.Field("required", &Part::required);
    r.Field("stock", &Part::stock);
    r.Field("bins", &Part::bins);
}
inline void DescribeType(RecordBuilder<Media>& r) {
    r.Name("CatalogMedia");
    r.Field("imageUrl", &Media::imageUrl);
    r.Field("framed", &Media::framed);
    r.Field("videoUrl", &Media::videoUrl);
}
inline void DescribeType(RecordBuilder<Offer>& r) {
    r.Name("CatalogOffer");
    r.Field("offerType", &Offer::offerType);
    r.Field("label", &Offer::label);
    r.Field("quantity", &Offer::quantity);
    r.Field("paid", &Offer::paid);
    r.Field("group", &Offer::group);
    r.Field("media", &Offer::media);
}
inline void DescribeType(RecordBuilder<Notice>& r) {
    r.Name("CatalogNotice");
    r.Field("kind", &Notice::kind);
    r.Field("message", &Notice::message);
    r.Field("noticeTime", &Notice::noticeTime);
}
inline void DescribeType(RecordBuilder<Packaging>& r) {
    r.Name("CatalogPackaging");
    r.Field("labels", &Packaging::labels);
    r.Field("layer", &Packaging::layer);
}
inline void DescribeType(RecordBuilder<Details>& r) {
    r.Name("CatalogDetails");
    r.Field("shelf", &Details::shelf);
    r.Field("points", &Details::points);
    r.Field("packaging", &Details::packaging);
}
inline void DescribeType(RecordBuilder<Item>& r) {
    r.Name("CatalogItem");
    r.Field("id", &Item::id);
    r.Field("sku", &Item::sku);
    r.Field("name", &Item::name);
    r.Field("description", &Item::description);
    r.Field("summary", &Item::summary);
    r.Field("state", &Item::state);
    r.Field("kind", &Item::kind);
    r.Field("position", &Item::position);
    r.Field("listedAt", &Item::listedAt);
    r.Field("expiresAt", &Item::expiresAt);
    r.Field("updatedAt", &Item::updatedAt);
    r.Field("soldAt", &Item::soldAt);
    r.Field("restockMillis", &Item::restockMillis);
    r.Field("checksum", &Item::checksum);
    r.Field("balance", &Item::balance);
    r.Field("featured", &Item::featured);
    r.Field("fresh", &Item::fresh);
    r.Field("weight", &Item::weight);
    r.Field("rating", &Item::rating);
    r.Field("scale", &Item::scale);
    r.Field("imageUrl", &Item::imageUrl);
    r.Field("thumbnailUrl", &Item::thumbnailUrl);
    r.Field("collection", &Item::collection);
    r.Field("locale", &Item::locale);
    r.Field("discountPercent", &Item::discountPercent, kFieldOmitEmpty);
    r.Field("note", &Item::note, kFieldOmitEmpty);
    r.Field("parts", &Item::parts);
    r.Field("offers", &Item::offers);
    r.Field("notices", &Item::notices);
    r.Field("details", &Item::details);
    r.Field("stockBySite", &Item::stockBySite);
    r.Field("attributes", &Item::attributes);
    r.Field("keywords", &Item::keywords);
}
inline void DescribeType(RecordBuilder<Collection>& r) {
    r.Name("CatalogCollection");
    r.Field("id", &Collection::id);
    r.Field("name", &Collection::name);
    r.Field("layout", &Collection::layout);
    r.Field("state", &Collection::state);
    r.Field("opensAt", &Collection::opensAt);
    r.Field("closesAt", &Collection::closesAt);
    r.Field("caption", &Collection::caption);
    r.Field("parentId", &Collection::parentId);
    r.Field("public", &Collection::isPublic);
    r.Field("tags", &Collection::tags);
}
inline void DescribeType(RecordBuilder<Catalog>& r) {
    r.Name("Catalog");
    r.Field("items", &Catalog::items);
    r.Field("collections", &Catalog::collections);
}

}  // namespace Vane::large_document_records

#endif  // PYX_TYPES_LARGE_DOCUMENT_RECORDS_TEST_SUPPORT_H_
