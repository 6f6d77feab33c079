// The test device provider.
#include "support/test_devices.h"

#include <gst/gst.h>

#include <atomic>

#include "media/gst_ptr.h"
#include "sim/sim_device_provider.h"
#include "sim/sim_source.h"

namespace kelpa::test {
namespace {

constexpr char kProviderName[] = "kelpatestdeviceprovider";
std::atomic<int> initialDevices{0};

struct KelpaTestDevice {
    GstDevice parent;
};
struct KelpaTestDeviceClass {
    GstDeviceClass parentClass;
};
G_DEFINE_TYPE(KelpaTestDevice, kelpa_test_device, GST_TYPE_DEVICE)

GstElement* CreateElement(GstDevice*, const gchar* name) {
    return gst_element_factory_make(kSimSourceFactoryName, name);
}
void kelpa_test_device_class_init(KelpaTestDeviceClass* klass) {
    GST_DEVICE_CLASS(klass)->create_element = CreateElement;
}
void kelpa_test_device_init(KelpaTestDevice*) {}

// A floating device.
GstDevice* MakeDevice(
    const std::string& name, const std::string& identity,
    const char* capsText = "video/x-raw,format=YUY2,width=640,height=480,framerate=30/1") {
    GstCapsPtr caps(gst_caps_from_string(capsText));
    GstStructurePtr properties(gst_structure_new("kelpa-test-device", kDeviceIdProperty,
                                                 G_TYPE_STRING, identity.c_str(), nullptr));
    return GST_DEVICE(g_object_new(kelpa_test_device_get_type(), "display-name", name.c_str(),
                                   "device-class", "Video/Source", "caps", caps.get(), "properties",
                                   properties.get(), nullptr));
}

struct KelpaTestProvider {
    GstDeviceProvider parent;
};
struct KelpaTestProviderClass {
    GstDeviceProviderClass parentClass;
};
G_DEFINE_TYPE(KelpaTestProvider, kelpa_test_provider, GST_TYPE_DEVICE_PROVIDER)

gboolean Start(GstDeviceProvider* provider) {
    for (int i = 1; i <= initialDevices.load(); ++i) {
        const std::string n = std::to_string(i);
        gst_device_provider_device_add(provider, MakeDevice("Test Camera " + n, "test:" + n));
    }
    return TRUE;
}

void kelpa_test_provider_class_init(KelpaTestProviderClass* klass) {
    GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
    provider->start = Start;
    gst_device_provider_class_set_static_metadata(provider, "Test cameras", "Source/Video",
                                                  "Cameras that tests plug in", "Kelpa");
}
void kelpa_test_provider_init(KelpaTestProvider*) {}

// The provider when a monitor has started it (only a started provider's bus carries messages).
GstObjectPtr<GstDeviceProvider> StartedProvider() {
    GstObjectPtr<GstDeviceProvider> provider(
        gst_device_provider_factory_get_by_name(kProviderName));
    GstObjectPtr<GstBus> bus(provider ? gst_device_provider_get_bus(provider.get()) : nullptr);
    const bool started = bus && !GST_OBJECT_FLAG_IS_SET(bus.get(), GST_BUS_FLUSHING);
    return started ? std::move(provider) : nullptr;
}

}  // namespace

GstDevicePtr MakeTestDevice(const std::string& name, const std::string& identity,
                            const char* caps) {
    return AdoptFloating(MakeDevice(name, identity, caps));
}

void RegisterTestDeviceProvider() {
    [[maybe_unused]] static const bool registered = gst_device_provider_register(
        nullptr, kProviderName, GST_RANK_PRIMARY + 1000, kelpa_test_provider_get_type());
}

void SetInitialTestDevices(int count) {
    initialDevices.store(count);
}

bool PlugTestDevice(const std::string& name, const std::string& identity) {
    GstObjectPtr<GstDeviceProvider> provider = StartedProvider();
    if (!provider) return false;
    gst_device_provider_device_add(provider.get(), MakeDevice(name, identity));
    return true;
}

bool UnplugTestDevice(const std::string& identity) {
    GstObjectPtr<GstDeviceProvider> provider = StartedProvider();
    if (!provider) return false;
    GList* devices = gst_device_provider_get_devices(provider.get());
    bool removed = false;
    for (GList* item = devices; item != nullptr && !removed; item = item->next) {
        GstDevice* device = GST_DEVICE(item->data);
        GstStructurePtr properties(gst_device_get_properties(device));
        const char* id = gst_structure_get_string(properties.get(), kDeviceIdProperty);
        removed = id != nullptr && identity == id;
        if (removed) gst_device_provider_device_remove(provider.get(), device);
    }
    g_list_free_full(devices, gst_object_unref);
    return removed;
}

}  // namespace kelpa::test
