// SPDX-License-Identifier: Apache-2.0
#include "platform/bluetooth/bluetooth_sdp_bluez.h"

#include "platform/bluetooth/bluetooth_address_bluez.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/sdp.h>
#include <bluetooth/sdp_lib.h>

#include <cstring>
#include <memory>

namespace {

struct TSessionCloser {
    void operator()(sdp_session_t *session) const { sdp_close(session); }
};
using TSession = std::unique_ptr<sdp_session_t, TSessionCloser>;

// A list whose items the list owns, each freed with `FreeItem`.
template <void (*FreeItem)(void *)>
struct TListFreer {
    void operator()(sdp_list_t *list) const { sdp_list_free(list, FreeItem); }
};

void FreeRecord(void *record) { sdp_record_free(static_cast<sdp_record_t *>(record)); }
// sdp_get_access_protos gives a list of lists whose items belong to the record.
void FreeInnerList(void *list) { sdp_list_free(static_cast<sdp_list_t *>(list), nullptr); }

using TRecordList = std::unique_ptr<sdp_list_t, TListFreer<FreeRecord>>;
using TProtocolList = std::unique_ptr<sdp_list_t, TListFreer<FreeInnerList>>;
// Lists of items that the caller owns (the query's UUID and attribute range).
using TBorrowedList = std::unique_ptr<sdp_list_t, TListFreer<nullptr>>;

int ChannelOf(const sdp_record_t *record)
{
    sdp_list_t *protocols = nullptr;
    if (sdp_get_access_protos(record, &protocols) != 0)
        return -1;
    const TProtocolList owned(protocols);
    const int channel = sdp_get_proto_port(protocols, RFCOMM_UUID);
    return channel > 0 ? channel : -1;
}

} // namespace

int FindRfcommChannel(std::uint64_t address, const TServiceClassId &serviceClass)
{
    bdaddr_t local{};  // any local adapter
    bdaddr_t remote{};
    const auto remoteBytes = AddressToKernelBytes(address);
    std::memcpy(remote.b, remoteBytes.data(), remoteBytes.size());

    const TSession session(sdp_connect(&local, &remote, SDP_RETRY_IF_BUSY));
    if (!session)
        return -1;

    const auto uuidBytes = ServiceClassToUuidBytes(serviceClass);
    uuid_t serviceUuid{};
    sdp_uuid128_create(&serviceUuid, uuidBytes.data());
    // A class built on the base UUID is registered in its short form; ask for it
    // that way so that every SDP server recognises it.
    sdp_uuid128_to_uuid(&serviceUuid);
    std::uint32_t allAttributes = 0x0000ffff;

    const TBorrowedList search(sdp_list_append(nullptr, &serviceUuid));
    const TBorrowedList attributes(sdp_list_append(nullptr, &allAttributes));
    if (!search || !attributes)
        return -1;

    sdp_list_t *records = nullptr;
    const int result = sdp_service_search_attr_req(session.get(), search.get(), SDP_ATTR_REQ_RANGE,
                                                   attributes.get(), &records);
    const TRecordList ownedRecords(records);
    if (result != 0)
        return -1;
    for (const sdp_list_t *item = records; item != nullptr; item = item->next) {
        const int channel = ChannelOf(static_cast<const sdp_record_t *>(item->data));
        if (channel > 0)
            return channel;
    }
    return -1;
}
