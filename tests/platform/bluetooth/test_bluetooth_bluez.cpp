// SPDX-License-Identifier: Apache-2.0
// The BlueZ backend against a mock BlueZ on a private bus.
#include "link/meter_link.h"
#include "link/meter_scan.h"
#include "platform/bluetooth/bluetooth_bluez.h"
#include "private_bus_bluez.h"
#include "tests/support/wait_until.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QProcess>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

const QString Adapter1 = QStringLiteral("org.bluez.Adapter1");

struct TListedDevice {
    std::u16string Name;
    std::uint64_t Address = 0;
    bool operator==(const TListedDevice &) const = default;
};

void PrintTo(const TListedDevice &device, std::ostream *out)
{
    *out << QString::fromStdU16String(device.Name).toStdString() << " @" << std::hex << device.Address;
}

TDeviceSearchParams SearchOf(TRadioHandle radio, bool inquiry = true)
{
    TDeviceSearchParams params;
    params.Radio = radio;
    params.IssueInquiry = inquiry;
    return params;
}

// Every device the search lists, in order; the device-find handle is closed.
std::vector<TListedDevice> ListDevices(TBluezPlatform &platform, const TDeviceSearchParams &params)
{
    std::vector<TListedDevice> listed;
    TBluetoothDeviceInfo info;
    const TFindHandle find = platform.FindFirstDevice(params, info);
    if (find == nullptr)
        return listed;
    do
        listed.push_back({std::u16string(info.Name.data()), info.Address});
    while (platform.FindNextDevice(find, info));
    platform.FindDeviceClose(find);
    return listed;
}

// Every radio's devices, radio by radio in the order listed; every handle is closed.
std::vector<std::vector<TListedDevice>> ListAll(TBluezPlatform &platform, bool inquiry = true)
{
    std::vector<std::vector<TListedDevice>> radios;
    TRadioHandle radio = nullptr;
    const TFindHandle find = platform.FindFirstRadio(radio);
    if (find == nullptr)
        return radios;
    do {
        radios.push_back(ListDevices(platform, SearchOf(radio, inquiry)));
        platform.CloseRadio(radio);
    } while (platform.FindNextRadio(find, radio));
    platform.FindRadioClose(find);
    return radios;
}

TBluezOptions ShortInquiry()
{
    TBluezOptions options;
    options.InquiryUnit = 20ms;
    return options;
}

class BluezPlatformTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!CanRunBusTests(why))
            GTEST_SKIP() << why;
        FHadAddress = qEnvironmentVariableIsSet("DBUS_SYSTEM_BUS_ADDRESS");
        FSavedAddress = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
        std::string error;
        ASSERT_TRUE(FBus.Start(error)) << error;
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", FBus.Address().toUtf8());
    }

    void TearDown() override
    {
        if (FHadAddress)
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", FSavedAddress);
        else
            qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }

    void StartBluez()
    {
        std::string error;
        ASSERT_TRUE(FBus.StartBluez(error)) << error;
    }

    void Add(const QString &adapter, const QString &address, const QString &name)
    {
        ASSERT_EQ(FBus.AddDevice(adapter, address, name), QString());
    }

    // BlueZ with the adapter hci0 that lists these devices (address, name), in this order.
    void StartBluezWith(const std::vector<std::pair<const char *, const char *>> &devices)
    {
        ASSERT_NO_FATAL_FAILURE(StartBluez());
        ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci0")), QString());
        for (const auto &[address, name] : devices)
            ASSERT_NO_FATAL_FAILURE(Add(QStringLiteral("hci0"), QString::fromLatin1(address), QString::fromUtf8(name)));
    }

    TPrivateBus FBus;
    bool FHadAddress = false;
    QByteArray FSavedAddress;
};

TEST_F(BluezPlatformTest, NoBusNoBluezOrNoAdapterMeansNoRadioAtOnce)
{
    enum class TSetting { NoBus, NoBluez, NoAdapter };
    for (const TSetting setting : {TSetting::NoBus, TSetting::NoBluez, TSetting::NoAdapter}) {
        SCOPED_TRACE(static_cast<int>(setting));
        if (setting == TSetting::NoBus)
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
        else
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", FBus.Address().toUtf8());
        if (setting == TSetting::NoAdapter) {
            ASSERT_NO_FATAL_FAILURE(StartBluez());
        }

        TBluezPlatform platform;  // the real call timeout: none of these may wait for it
        TRadioHandle radio = reinterpret_cast<TRadioHandle>(1);
        const auto start = TClock::now();
        EXPECT_EQ(platform.FindFirstRadio(radio), nullptr);
        EXPECT_LT(TClock::now() - start, 2s);
        EXPECT_EQ(radio, nullptr);
        EXPECT_EQ(platform.OpenHandleCount(), 0u);
    }
}

TEST_F(BluezPlatformTest, OneAdapterListsItsDevicesInBluezOrderAfterAClassicDiscovery)
{
    // Added so that BlueZ's order differs from the order of the object paths.
    ASSERT_NO_FATAL_FAILURE(StartBluezWith({{"00:11:22:AA:BB:CC", "Dravel-GLAX20k"}, {"00:11:22:33:44:55", "Phone"}}));

    TBluezPlatform platform(ShortInquiry());
    const std::vector<std::vector<TListedDevice>> expected = {
        {{u"Dravel-GLAX20k", 0x001122AABBCCull}, {u"Phone", 0x001122334455ull}}};
    EXPECT_EQ(ListAll(platform), expected);
    EXPECT_EQ(platform.OpenHandleCount(), 0u);

    const QString adapter = QStringLiteral("/org/bluez/hci0");
    EXPECT_FALSE(FBus.Property(adapter, Adapter1, QStringLiteral("Discovering")).toBool())
        << "the discovery was not stopped";
    const auto filter = qdbus_cast<QVariantMap>(FBus.Property(adapter, Adapter1, QStringLiteral("DiscoveryFilter")));
    EXPECT_EQ(filter.value(QStringLiteral("Transport")).toString(), QStringLiteral("bredr"));
}

TEST_F(BluezPlatformTest, TwoAdaptersComeInPathOrderEachWithOnlyItsOwnDevices)
{
    ASSERT_NO_FATAL_FAILURE(StartBluez());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci1")), QString());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci0")), QString());
    ASSERT_NO_FATAL_FAILURE(Add("hci1", "11:00:00:00:00:01", "Dravel-GLAX20k"));
    ASSERT_NO_FATAL_FAILURE(Add("hci0", "00:00:00:00:00:02", "Balance"));
    ASSERT_NO_FATAL_FAILURE(Add("hci0", "00:00:00:00:00:01", "Dravel-GLAX20k"));

    TBluezPlatform platform(ShortInquiry());
    TRadioHandle first = nullptr;
    TRadioHandle second = nullptr;
    TRadioHandle none = nullptr;
    const TFindHandle find = platform.FindFirstRadio(first);
    ASSERT_NE(find, nullptr);
    ASSERT_TRUE(platform.FindNextRadio(find, second));
    EXPECT_FALSE(platform.FindNextRadio(find, none));
    EXPECT_EQ(platform.OpenHandleCount(), 3u);

    const std::vector<TListedDevice> onFirst = {{u"Balance", 0x000000000002ull}, {u"Dravel-GLAX20k", 0x000000000001ull}};
    const std::vector<TListedDevice> onSecond = {{u"Dravel-GLAX20k", 0x110000000001ull}};
    EXPECT_EQ(ListDevices(platform, SearchOf(first)), onFirst);
    EXPECT_EQ(ListDevices(platform, SearchOf(second)), onSecond);

    platform.CloseRadio(first);
    platform.CloseRadio(second);
    platform.FindRadioClose(find);
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST_F(BluezPlatformTest, AnAdapterWithoutDevicesGivesNoDeviceFind)
{
    ASSERT_NO_FATAL_FAILURE(StartBluez());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci0")), QString());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci1")), QString());
    ASSERT_NO_FATAL_FAILURE(Add("hci1", "11:00:00:00:00:01", "Balance"));

    TBluezPlatform platform(ShortInquiry());
    const std::vector<std::vector<TListedDevice>> expected = {{}, {{u"Balance", 0x110000000001ull}}};
    EXPECT_EQ(ListAll(platform), expected);
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST_F(BluezPlatformTest, ADeviceThatAnswersDuringTheInquiryIsListed)
{
    ASSERT_NO_FATAL_FAILURE(StartBluez());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci0")), QString());

    TBluezOptions options;
    options.InquiryUnit = 700ms;
    TBluezPlatform platform(options);
    // As the worker does: the whole discovery on a thread of its own, without
    // an event loop.
    std::vector<std::vector<TListedDevice>> listed;
    std::thread worker([&] { listed = ListAll(platform); });

    const QString adapter = QStringLiteral("/org/bluez/hci0");
    EXPECT_TRUE(WaitUntil([&] { return FBus.Property(adapter, Adapter1, QStringLiteral("Discovering")).toBool(); },
                          20s))
        << "the discovery did not start";
    const QString added = FBus.AddDevice(QStringLiteral("hci0"), QStringLiteral("00:11:22:AA:BB:CC"),
                                         QStringLiteral("Dravel-GLAX20k"));
    worker.join();

    ASSERT_EQ(added, QString());
    const std::vector<std::vector<TListedDevice>> expected = {{{u"Dravel-GLAX20k", 0x001122AABBCCull}}};
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST_F(BluezPlatformTest, DeviceNamesArePassedOnExactlyAndCutAtTheNameField)
{
    ASSERT_NO_FATAL_FAILURE(StartBluez());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci0")), QString());

    const std::u16string longName(300, u'x');
    const std::u16string cutPair = std::u16string(246, u'x') + u"\U0001F33E";
    const struct {
        std::u16string Given;
        std::u16string Listed;
    } names[] = {
        {u"Dravel-GLAX20k", u"Dravel-GLAX20k"},
        {u"dravel-glax20k", u"dravel-glax20k"},
        {u"Dravel-GLAX20k ", u"Dravel-GLAX20k "},
        {u" Dravel-GLAX20k", u" Dravel-GLAX20k"},
        {u"Dravel-GLAX20k2", u"Dravel-GLAX20k2"},
        {u"Dravel\u2010GLAX20k", u"Dravel\u2010GLAX20k"},
        {u"Dravel-GLAX20k \U0001F33E", u"Dravel-GLAX20k \U0001F33E"},
        {u"", u""},
        {longName, longName.substr(0, 247)},             // room for the terminating zero
        {cutPair, std::u16string(246, u'x')},            // no half of a surrogate pair
    };
    std::vector<TListedDevice> expected;
    std::uint64_t address = 0x000000000001ull;
    for (const auto &name : names) {
        const QString text = QStringLiteral("00:00:00:00:00:%1").arg(address, 2, 16, QLatin1Char('0')).toUpper();
        ASSERT_NO_FATAL_FAILURE(Add("hci0", text, QString::fromStdU16String(name.Given)));
        expected.push_back({name.Listed, address++});
    }
    ASSERT_EQ(FBus.AddNamelessDevice(QStringLiteral("hci0"), QStringLiteral("00:00:00:00:00:FF")), QString());
    expected.push_back({u"", 0xFF});

    TBluezPlatform platform(ShortInquiry());
    const auto listed = ListAll(platform, false);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0], expected);
}

TEST_F(BluezPlatformTest, PairedDevicesCountAsRememberedAndTheOthersAsUnknown)
{
    ASSERT_NO_FATAL_FAILURE(StartBluez());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci0")), QString());
    ASSERT_NO_FATAL_FAILURE(Add("hci0", "00:00:00:00:00:01", "Paired"));
    ASSERT_NO_FATAL_FAILURE(Add("hci0", "00:00:00:00:00:02", "Seen"));
    ASSERT_EQ(FBus.PairDevice(QStringLiteral("hci0"), QStringLiteral("00:00:00:00:00:01")), QString());

    const TListedDevice paired{u"Paired", 1};
    const TListedDevice seen{u"Seen", 2};
    const struct {
        bool Remembered;
        bool Unknown;
        std::vector<TListedDevice> Listed;
    } cases[] = {
        {true, true, {paired, seen}},
        {true, false, {paired}},
        {false, true, {seen}},
        {false, false, {}},
    };
    TBluezPlatform platform(ShortInquiry());
    TRadioHandle radio = nullptr;
    const TFindHandle find = platform.FindFirstRadio(radio);
    ASSERT_NE(find, nullptr);
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "remembered " << c.Remembered << ", unknown " << c.Unknown);
        TDeviceSearchParams params = SearchOf(radio, false);
        params.ReturnRemembered = c.Remembered;
        params.ReturnUnknown = c.Unknown;
        EXPECT_EQ(ListDevices(platform, params), c.Listed);
    }
    platform.CloseRadio(radio);
    platform.FindRadioClose(find);
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

// One BlueZ call that is not answered in time. Each case has a mock of its own:
// a mock busy with a slow answer answers nothing else until it is done.
struct THungCall {
    const char *Name;
    QString Path, Interface, Method, OutSignature, Answer;
    bool HangsRadioSearch;
};

void PrintTo(const THungCall &call, std::ostream *out)
{
    *out << call.Name;
}

class BluezHungCallTest : public BluezPlatformTest, public testing::WithParamInterface<THungCall> {};

TEST_P(BluezHungCallTest, AHungBluezEndsTheSearchWithinTheCallTimeout)
{
    const THungCall &c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartBluez());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci0")), QString());
    ASSERT_NO_FATAL_FAILURE(Add("hci0", "00:11:22:AA:BB:CC", "Dravel-GLAX20k"));

    TBluezOptions options = ShortInquiry();
    options.CallTimeout = 300ms;
    TBluezPlatform platform(options);
    TRadioHandle radio = nullptr;
    TFindHandle find = nullptr;
    if (!c.HangsRadioSearch) {
        find = platform.FindFirstRadio(radio);
        ASSERT_NE(find, nullptr);
    }
    ASSERT_EQ(FBus.MakeSlow(c.Path, c.Interface, c.Method, c.OutSignature, c.Answer, 3s), QString());

    const auto start = TClock::now();
    if (c.HangsRadioSearch) {
        EXPECT_EQ(platform.FindFirstRadio(radio), nullptr);
    } else {
        TBluetoothDeviceInfo device;
        EXPECT_EQ(platform.FindFirstDevice(SearchOf(radio), device), nullptr);
        platform.CloseRadio(radio);
        platform.FindRadioClose(find);
    }
    EXPECT_LT(TClock::now() - start, 2s);
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    BluezPlatformTest, BluezHungCallTest,
    testing::Values(THungCall{"DiscoveryStart", QStringLiteral("/org/bluez/hci0"), Adapter1,
                              QStringLiteral("StartDiscovery"), QString(), QString(), false},
                    THungCall{"ObjectList", QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                              QStringLiteral("GetManagedObjects"), QStringLiteral("a{oa{sa{sv}}}"), QStringLiteral("{}"),
                              true}),
    [](const testing::TestParamInfo<THungCall> &info) { return std::string(info.param.Name); });

TEST_F(BluezPlatformTest, AnAdapterThatIsSwitchedOffIsNoRadio)
{
    const struct {
        const char *Name;
        bool Hci0Powered, Hci1Powered;
        bool RadioFound;
        std::vector<std::vector<TListedDevice>> Listed;
    } cases[] = {
        {"both off", false, false, false, {}},
        {"first off", false, true, true, {{{u"Dravel-GLAX20k", 0x110000000001ull}}}},
        {"both on", true, true, true, {{{u"Balance", 0x000000000001ull}}, {{u"Dravel-GLAX20k", 0x110000000001ull}}}},
    };
    ASSERT_NO_FATAL_FAILURE(StartBluez());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci0")), QString());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci1")), QString());
    ASSERT_NO_FATAL_FAILURE(Add("hci0", "00:00:00:00:00:01", "Balance"));
    ASSERT_NO_FATAL_FAILURE(Add("hci1", "11:00:00:00:00:01", "Dravel-GLAX20k"));

    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        for (const auto &[adapter, powered] : {std::pair{"/org/bluez/hci0", c.Hci0Powered},
                                               std::pair{"/org/bluez/hci1", c.Hci1Powered}})
            ASSERT_EQ(FBus.SetProperty(QString::fromLatin1(adapter), Adapter1, QStringLiteral("Powered"), powered),
                      QString());
        TBluezPlatform platform(ShortInquiry());
        EXPECT_EQ(ListAll(platform), c.Listed);
        EXPECT_EQ(platform.OpenHandleCount(), 0u);

        // What discovery makes of it: no usable radio is no radio at all.
        TMeterLink link(TMeterWay{&platform, &platform}, [] {});
        EXPECT_EQ(link.FindMeter(), c.RadioFound) << "the meter is on hci1";
        EXPECT_EQ(link.HasRadio(), c.RadioFound);
    }
}

TEST_F(BluezPlatformTest, APinnedAddressTakesOnlyThatDeviceAmongTwoNamedAsTheMeter)
{
    ASSERT_NO_FATAL_FAILURE(
        StartBluezWith({{"11:00:00:00:00:01", "Dravel-GLAX20k"}, {"11:00:00:00:00:02", "Dravel-GLAX20k"}}));
    for (const std::uint64_t pinned : {0x110000000001ull, 0x110000000002ull}) {
        SCOPED_TRACE(pinned);
        TBluezPlatform platform(ShortInquiry());
        TMeterLink link(TMeterWay{&platform, &platform, pinned}, [] {});
        for (int cycle = 0; cycle < 2; ++cycle) {
            ASSERT_TRUE(link.FindMeter());
            EXPECT_EQ(link.DeviceAddress(), pinned);
        }
        EXPECT_EQ(platform.OpenHandleCount(), 0u);
    }
}

TEST_F(BluezPlatformTest, ABluezThatAnswersWithinAnInquirysTimeIsNotNoRadio)
{
    ASSERT_NO_FATAL_FAILURE(StartBluez());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci0")), QString());
    // BlueZ's own answer, a second late.
    ASSERT_EQ(FBus.MakeSlow(QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                            QStringLiteral("GetManagedObjects"), QStringLiteral("a{oa{sa{sv}}}"),
                            QStringLiteral("{dbus.ObjectPath(k): objects[k].props for k in objects.keys() if k != '/'}"),
                            1s),
              QString());

    TBluezOptions options;
    options.InquiryUnit = 600ms;  // the discovery's inquiry: 3 units, 1.8 s
    options.CallTimeout = 300ms;
    TBluezPlatform platform(options);
    TRadioHandle radio = nullptr;
    const TFindHandle find = platform.FindFirstRadio(radio);
    EXPECT_NE(find, nullptr) << "a slow answer was taken for no radio";
    if (find != nullptr) {
        platform.CloseRadio(radio);
        platform.FindRadioClose(find);
    }
}

TEST_F(BluezPlatformTest, ADiscoveryAskedToStartIsAskedToStopAlsoWhenTheStartIsNotAnswered)
{
    ASSERT_NO_FATAL_FAILURE(StartBluez());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci0")), QString());
    TBluezOptions options = ShortInquiry();
    options.CallTimeout = 300ms;
    TBluezPlatform platform(options);
    TRadioHandle radio = nullptr;
    const TFindHandle find = platform.FindFirstRadio(radio);
    ASSERT_NE(find, nullptr);
    const QString adapter = QStringLiteral("/org/bluez/hci0");
    ASSERT_EQ(FBus.MakeSlow(adapter, Adapter1, QStringLiteral("StartDiscovery"), QString(), QString(), 1s), QString());

    TBluetoothDeviceInfo device;
    EXPECT_EQ(platform.FindFirstDevice(SearchOf(radio), device), nullptr);
    platform.CloseRadio(radio);
    platform.FindRadioClose(find);
    // The mock takes the stop once it has finished the slow start.
    EXPECT_TRUE(WaitUntil([&] { return FBus.CallCount(adapter, QStringLiteral("StopDiscovery")) >= 1; }, 20s));
    EXPECT_EQ(FBus.CallCount(adapter, QStringLiteral("StopDiscovery")), 1);
}

TEST_F(BluezPlatformTest, HandlesOfOtherOriginOrClosedBeforeAreIgnored)
{
    ASSERT_NO_FATAL_FAILURE(StartBluez());
    ASSERT_EQ(FBus.AddAdapter(QStringLiteral("hci0")), QString());
    ASSERT_NO_FATAL_FAILURE(Add("hci0", "00:11:22:AA:BB:CC", "Dravel-GLAX20k"));

    TBluezPlatform platform(ShortInquiry());
    TRadioHandle radio = nullptr;
    const TFindHandle find = platform.FindFirstRadio(radio);
    ASSERT_NE(find, nullptr);
    platform.CloseRadio(radio);
    platform.FindRadioClose(find);

    // A closed radio is no radio to search, and closing again does nothing.
    TBluetoothDeviceInfo device;
    EXPECT_EQ(platform.FindFirstDevice(SearchOf(radio, false), device), nullptr);
    TRadioHandle next = nullptr;
    EXPECT_FALSE(platform.FindNextRadio(find, next));
    platform.CloseRadio(radio);
    platform.FindRadioClose(find);
    int foreign = 0;
    platform.FindDeviceClose(&foreign);
    EXPECT_FALSE(platform.FindNextDevice(&foreign, device));
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

// ---- what --scan sees ---------------------------------------------------------

TEST_F(BluezPlatformTest, ARadioIsNamedByItsAliasAndADeviceSaysWhetherItIsPairedOrTrusted)
{
    ASSERT_NO_FATAL_FAILURE(StartBluezWith(
        {{"00:00:00:00:00:01", "Paired"}, {"00:00:00:00:00:02", "Trusted"}, {"00:00:00:00:00:03", "Seen"}}));
    ASSERT_EQ(FBus.PairDevice(QStringLiteral("hci0"), QStringLiteral("00:00:00:00:00:01")), QString());
    ASSERT_EQ(FBus.SetProperty(QStringLiteral("/org/bluez/hci0/dev_00_00_00_00_00_02"),
                               QStringLiteral("org.bluez.Device1"), QStringLiteral("Trusted"), true),
              QString());

    TBluezPlatform platform(ShortInquiry());
    const TScanResult scan = ScanRadios(platform, nullptr);
    ASSERT_EQ(scan.Radios.size(), 1u);
    EXPECT_TRUE(scan.Radios[0].Known);
    EXPECT_EQ(scan.Radios[0].Name, u"laboratory");  // the mock's alias for every adapter
    EXPECT_EQ(scan.Radios[0].Address, 0x000102030405ull);
    const struct {
        std::u16string Name;
        bool Remembered, Authenticated;
    } expected[] = {{u"Paired", true, true}, {u"Trusted", true, false}, {u"Seen", false, false}};
    ASSERT_EQ(scan.Radios[0].Devices.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(scan.Radios[0].Devices[i].Name, expected[i].Name);
        EXPECT_EQ(scan.Radios[0].Devices[i].Remembered, expected[i].Remembered);
        EXPECT_EQ(scan.Radios[0].Devices[i].Authenticated, expected[i].Authenticated);
    }
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST_F(BluezPlatformTest, TheProgramsScanListsEveryAdapterAndExitsByWhetherTheMeterIsListed)
{
    const struct {
        const char *Label;
        std::vector<std::vector<std::pair<const char *, const char *>>> Adapters;  // address, name
        int Exit;
        std::vector<const char *> Said;
    } cases[] = {
        {"no adapter", {}, 3, {"BT module not enabled or not installed"}},
        {"a look-alike and a phone",
         {{{"00:11:22:33:44:55", "Phone"}, {"00:11:22:AA:BB:01", "Dravel-GLAX20K"}}},
         1,
         {"radio 1: \"laboratory\" 00:01:02:03:04:05\n",
          "  --meter bt:00:11:22:33:44:55  not remembered  \"Phone\"\n",
          "  --meter bt:00:11:22:AA:BB:01  not remembered  \"Dravel-GLAX20K\"  <- near miss: letter case differs",
          "is not listed"}},
        {"the meter on the second adapter",
         {{{"00:11:22:33:44:55", "Phone"}}, {{"00:11:22:AA:BB:CC", "Dravel-GLAX20k"}}},
         0,
         {"radio 2: \"laboratory\" 01:02:03:04:05:06\n",
          "  --meter bt:00:11:22:AA:BB:CC  not remembered  \"Dravel-GLAX20k\"  <- the meter\n", "is listed."}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        TPrivateBus bus;
        std::string error;
        ASSERT_TRUE(bus.Start(error)) << error;
        ASSERT_TRUE(bus.StartBluez(error)) << error;
        for (std::size_t i = 0; i < c.Adapters.size(); ++i) {
            const QString adapter = QStringLiteral("hci%1").arg(i);
            ASSERT_EQ(bus.AddAdapter(adapter), QString());
            for (const auto &[address, name] : c.Adapters[i])
                ASSERT_EQ(bus.AddDevice(adapter, QString::fromLatin1(address), QString::fromUtf8(name)), QString());
        }

        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus.Address());
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(READOUT_PROGRAM_PATH), {QStringLiteral("--scan")});
        // Each adapter's inquiry takes its full 3.84 s.
        ASSERT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.Exit);
        const std::string said =
            program.readAllStandardOutput().toStdString() + program.readAllStandardError().toStdString();
        for (const char *part : c.Said)
            EXPECT_NE(said.find(part), std::string::npos) << part << " not in:\n" << said;
    }
}

} // namespace
