# The driver uninstall (cases of tray_test) against the driver package as
# tools/wine-prefix installs it. The full uninstall removes the card, so it
# runs in a prefix of its own.
vt_add_test(uninstall_refusals PROGRAM tray_test ARGS --gtest_filter=Uninstall.*-Uninstall.Full* TIMEOUT 90)
vt_add_test(uninstall_full PROGRAM tray_test ARGS --gtest_filter=Uninstall.Full* TIMEOUT 90)
