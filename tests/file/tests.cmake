quillmark_test(file LIBS qm_file)
