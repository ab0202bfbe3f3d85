-- Test object script that fails while loading.
this is not lua
